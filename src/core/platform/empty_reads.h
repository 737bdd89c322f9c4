#pragma once
// A read that succeeds with zero bytes is the end of a file or a console, but not always of a
// pipe: on Windows it is what the other end's zero-byte write looks like, and the end of a pipe
// is an error (ERROR_BROKEN_PIPE). Wine shows the end of a POSIX pipe as zero-byte reads, and
// that pipe cannot be peeked, so a pipe that can no longer be peeked counts as ended.

namespace tw {

// Calls `read_once` (giving a Result of the byte count) until it fails, gives bytes, or gives
// an empty read that is the end: from anything but a pipe every empty read is, from a pipe
// only when `pipe_ended()` says so.
template <class ReadOnce, class PipeEnded>
auto read_past_empty_writes(bool from_pipe, ReadOnce read_once, PipeEnded pipe_ended) {
  for (;;) {
    auto got = read_once();
    if (!got || *got != 0 || !from_pipe || pipe_ended()) return got;
  }
}

}  // namespace tw

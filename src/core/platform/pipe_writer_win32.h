#pragma once
// Whether a Windows pipe still has a writer, for the reads that take a zero-byte read from a
// pipe as a zero-byte write (empty_reads.h).

#include <windows.h>

namespace tw {

// A pipe that can no longer be peeked has lost its writer (under wine also the end of a POSIX
// pipe, which reads as zero bytes rather than ERROR_BROKEN_PIPE).
inline bool pipe_writer_gone(HANDLE pipe) {
  DWORD available = 0;
  return !PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr);
}

}  // namespace tw

#pragma once
// With --exit-on-stdin-close the host stops the worker by closing its standard input, or by
// dying, which closes it too. The watch reads and discards standard input; when it ends (or
// breaks, or there is none) it ends output at once (no record starts from then on), then every
// decoder process tree, then the whole process with status 1, without an error line, wherever
// the run is.

namespace tw {

// The thread body; never returns.
[[noreturn]] void stdin_watch();

// Starts stdin_watch on a detached thread. A thread that cannot be created ends the process
// through fail_fast.
void start_stdin_watch();

}  // namespace tw

#pragma once
// Requests to stop the whole program from outside: SIGINT, SIGTERM and SIGHUP on POSIX; Ctrl-C,
// Ctrl-Break and the console's closing on Windows.

#include <functional>

namespace tw {

// Calls `on_stop` on a thread of its own at the first request; later requests are ignored, and
// so is a POSIX signal that was already ignored when the program started.
// `on_stop` is expected to end the process (the console's closing gives it a few seconds).
// POSIX: call before starting any other thread, since the signals are blocked in the calling
// thread, whose mask new threads inherit, and taken by the watching thread.
void watch_stop_requests(std::function<void()> on_stop);

}  // namespace tw

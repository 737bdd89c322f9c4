#pragma once
// Broken invariants end the process at once and abnormally, from any thread: a one-line
// diagnostic on standard error, then abort() on POSIX or __fastfail(7) on Windows.
// No error line, no flushing of standard output, no clean-up.

#include <string_view>

namespace tw {

[[noreturn]] void fail_fast(std::string_view fault);

// Routes std::terminate (an escaped exception, a thread that cannot be created) to fail_fast
// and, on POSIX, ignores SIGPIPE and SIGXFSZ so that a write to a closed pipe or past the
// file-size limit is an error value, and sets SIGCHLD to its default, so that children stay to
// be waited for whatever the host ignored.
void install_process_guards();

// The std::terminate part of install_process_guards, shared by both platforms.
void install_terminate_handler();

}  // namespace tw

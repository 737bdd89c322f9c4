#pragma once
// The process's standard handles. Standard output carries records only: each is written whole
// under one process-wide re-entrant lock. Standard error carries the error line.

#include <cstddef>
#include <mutex>
#include <span>
#include <string_view>

#include "core/error.h"

namespace tw {

// Puts the null device on each of standard input, output and error that is closed, so that no
// file the program opens later gets its number and receives what is meant for the stream. Called
// first, before anything is opened; a stream found closed still reads as ended and writes as
// discarded, and write_stdout_or_error and write_stderr_or_error still fail for it. Nothing on
// Windows, where a missing handle's place is never taken by a file.
void open_closed_std_streams();

// The process-wide standard-output lock; a record holds it from its first byte to its flush.
std::recursive_timed_mutex& stdout_lock();

// Writes `bytes` (one whole record) with write_stdout under stdout_lock(). Once output has
// ended nothing is written and the call never returns: the thread waits for the process to end.
Status write_stdout_whole(std::string_view bytes);

// Ends output for good, as the first step of ending the process: from here on no record starts
// and nothing more goes to standard error. A record being written may complete: this waits up
// to 2 s for it and then keeps stdout_lock() until the process ends, so a host that no longer
// reads cannot hold the end up. A second call on the same thread returns at once.
void end_output();

// Whether end_output() has been called, on any thread.
bool output_ended();

// Writes all of `bytes` to standard output (interrupted writes retried, partial writes
// continued). A missing handle discards the bytes; a write that accepts nothing is the error
// "failed to write the buffered data"; any other failure is the OS error. A Windows console
// gets the text as text. The caller holds stdout_lock().
Status write_stdout(std::string_view bytes);

// As write_stdout, except that a missing or closed standard output is an error too (the OS's
// "Bad file descriptor"): for a program whose output is a document rather than records.
Status write_stdout_or_error(std::string_view bytes);

// Writes `bytes` to standard error under its own lock; failures are dropped, and so are the
// bytes once output has ended.
void write_stderr(std::string_view bytes);

// As write_stderr, but a failure is returned (a missing or closed standard error included), for
// a program whose standard error carries a document such as a report.
Status write_stderr_or_error(std::string_view bytes);

// Whether standard error is a terminal (a console on Windows).
bool stderr_is_terminal();

// Reads from standard input. 0 means the end: end of input, a broken pipe, a missing handle
// or any other read error (interrupted reads, and on Windows zero-byte writes to a pipe that
// is still open, are read past).
std::size_t read_stdin(std::span<char> buffer);

// Reads from standard input as read_stdin does, except that a read error other than a broken
// pipe is the OS error rather than the end.
Result<std::size_t> read_stdin_or_error(std::span<char> buffer);

// Ends the process with `status` without running static destructors, while other threads may
// still run. Standard output has nothing buffered; output is ended first (end_output), so a
// record being written at this instant may complete (for a bounded time) and no new one starts.
[[noreturn]] void exit_process(int status);

}  // namespace tw

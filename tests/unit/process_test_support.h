#pragma once
// Helpers for tests that start real processes: stand-in paths, reading pipes, and looking at
// processes by id.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/platform/process.h"

namespace tw::test {

// The stand-in program `name` of the build (TW_STANDINS), as a native UTF-8 path.
std::string standin_path(std::string_view name);

// Everything up to the end of the output; a failed read fails the calling test.
std::string read_all(PipeReader& reader);

// One line without its line end ("\n" or "\r\n"), reading one byte at a time so nothing after
// it is taken.
std::string read_line(PipeReader& reader);

// Whether a process with this id exists and has not yet exited (a zombie counts as gone).
bool process_running(std::uint32_t id);

// Polls until the process is gone; false if it still runs after a generous bound. Process
// death is asynchronous (a killed orphan is only seen gone once it has been torn down).
bool wait_until_gone(std::uint32_t id);

}  // namespace tw::test

namespace tw::test {

// The running test program itself, as a native UTF-8 path.
std::string own_program_path();

// Forces a process that is not the caller's own child to end (cleanup after a failed check).
void force_end(std::uint32_t id);

}  // namespace tw::test

#pragma once
// What every program's entry point does: run once, report a failure as one "error: " line,
// exit 0 or 1.

#include <span>
#include <string>

#include "core/error.h"

namespace tw {

using ProgramRun = Status (*)(std::span<const std::string> arguments);

// Puts the null device on closed standard streams, installs the process guards, calls `run` once on
// the calling thread and ends the process: status 0 on success, otherwise the error line
// (exit_with_error) and status 1.
[[noreturn]] void run_program(ProgramRun run, std::span<const std::string> arguments);

}  // namespace tw

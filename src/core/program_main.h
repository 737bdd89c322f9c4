#pragma once
// A program's entry: run once, then exit with status 0, or report the failure as one "error: "
// line on standard error and exit with status 1.

#include <span>
#include <string>
#include <vector>

#include "core/error.h"

namespace tw {

using ProgramRun = Status (*)(std::span<const std::string> arguments);

// Installs the process guards (fail_fast on std::terminate, no SIGPIPE), runs `run` on the
// program's arguments and ends the process with its outcome.
[[noreturn]] void program_main(std::vector<std::string> arguments, ProgramRun run);

}  // namespace tw

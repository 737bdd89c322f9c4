#pragma once
// The process entry: run once, report a failure as one "error: " line, exit 0 or 1.

#include <string>
#include <vector>

#include "core/error_exit.h"  // error_line, exit_with_error

namespace tw {

int worker_main(std::vector<std::string> arguments);

}  // namespace tw

#pragma once
// The process entry: run once, report a failure as one "error: " line, exit 0 or 1.

#include <string>
#include <vector>

namespace tw {

int worker_main(std::vector<std::string> arguments);

// "error: " + the chain's messages joined by ": " + a line feed.
std::string error_line(const class Error& error);

}  // namespace tw

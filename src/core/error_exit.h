#pragma once
// How a failed run ends, as the host sees it: one "error: " line on standard error, status 1.

#include <string>

#include "core/error.h"

namespace tw {

// "error: " + the chain's messages joined by ": " + a line feed.
std::string error_line(const Error& error);

// Writes error_line(error) to standard error and ends the process with status 1. The entry
// point ends every failed run this way; so does a failure that cannot travel back to it.
[[noreturn]] void exit_with_error(const Error& error);

}  // namespace tw

#pragma once
// Operating-system errors as error values: "<system text> (os error N)".

#include <string>

#include "core/error.h"

namespace tw {

// The system's message text for an error code, trailing white space removed
// (strerror on POSIX, FormatMessageW on Windows).
std::string system_error_text(int code);

// A single-level error for `code`: the system text, a blank and "(os error N)".
Error os_error(int code);

// os_error of errno (POSIX) or GetLastError() (Windows), read at the call.
Error last_os_error();

}  // namespace tw

#pragma once
// Calls into a library built with another C++ runtime, whose exceptions may escape its C
// functions (the speech library does so when a model file cannot be parsed).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"

namespace tw {

// The error the process ends with when an escaped exception cannot be caught, made from the
// exception's text.
using UncatchableError = std::function<Error(std::string_view what)>;

// Calls `call(context)`: nothing when it returned; when an exception escaped it and was caught,
// its text (what() of a std::exception, else empty). Where such an exception cannot be caught
// (an MSVC-built library in a mingw program), the process ends at once through
// exit_with_error(uncatchable(text)) instead of dying unhandled.
std::optional<std::string> call_catching_exceptions(void (*call)(void* context), void* context,
                                                    const UncatchableError& uncatchable);

}  // namespace tw

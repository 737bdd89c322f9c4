#pragma once
// Calls into a library built with another C++ runtime, whose exceptions may escape its C
// functions (the speech library does so when a model file cannot be parsed).

#include "core/error.h"

namespace tw {

// Calls `call(context)`: true when it returned, false when an exception escaped it and was
// caught. Where such an exception cannot be caught (an MSVC-built library in a mingw program),
// the process ends at once through exit_with_error(uncatchable) instead of dying unhandled.
bool call_catching_exceptions(void (*call)(void* context), void* context, const Error& uncatchable);

}  // namespace tw

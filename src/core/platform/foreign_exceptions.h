#pragma once
// Calls into a library built with another C++ runtime, whose exceptions may escape its C
// functions (the speech library does so when a model file cannot be parsed).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// Ends the process, given the text of an escaped exception that cannot be caught. It must not
// return.
using UncatchableExit = std::function<void(std::string_view what)>;

// Calls `call(context)`: nothing when it returned; when an exception escaped it and was caught,
// its text (what() of a std::exception, else empty). Where such an exception cannot be caught
// (an MSVC-built library in a mingw program), `uncatchable(text)` ends the process at once
// instead of letting it die unhandled.
std::optional<std::string> call_catching_exceptions(void (*call)(void* context), void* context,
                                                    const UncatchableExit& uncatchable);

}  // namespace tw

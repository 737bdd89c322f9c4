#pragma once
// The one environment variable the worker reads is "SystemRoot".

#include <optional>
#include <string>
#include <string_view>

namespace tw {

// The variable's value as UTF-8, or nothing when it is not set or is not valid Unicode.
std::optional<std::string> environment_variable(std::string_view name);

}  // namespace tw

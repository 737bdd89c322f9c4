#pragma once
// The taskkill.exe command that ends process trees on Windows, as pure functions so that both
// platforms test it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/tools/tool_command.h"

namespace tw {

// `system_root` (the "SystemRoot" variable; "C:\Windows" when unset) joined with
// "System32\taskkill.exe": one separator between them unless it already ends in one; an empty
// value gives the relative "System32\taskkill.exe".
std::string taskkill_path(const std::optional<std::string>& system_root);

// tool_command of that path with the arguments "/T" "/F" and "/PID" <id> for each id in order.
ToolCommand taskkill_command(const std::optional<std::string>& system_root,
                             std::span<const std::uint32_t> ids);

}  // namespace tw

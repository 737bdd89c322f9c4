#pragma once
// The taskkill.exe command that ends process trees on Windows, as pure functions so that both
// platforms test it.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/tools/tool_command.h"

namespace tw {

// taskkill.exe in `system_directory` (the system's own, not one named by the environment):
// one separator between them unless the directory already ends in one.
std::string taskkill_path(std::string_view system_directory);

// tool_command of that path with the arguments "/T" "/F" and "/PID" <id> for each id in order.
ToolCommand taskkill_command(std::string_view system_directory, std::span<const std::uint32_t> ids);

}  // namespace tw

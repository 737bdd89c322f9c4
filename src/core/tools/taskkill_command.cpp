#include "core/tools/taskkill_command.h"

namespace tw {

namespace {
constexpr std::string_view DEFAULT_SYSTEM_ROOT = "C:\\Windows";
constexpr std::string_view TASKKILL_IN_SYSTEM_ROOT = "System32\\taskkill.exe";
}  // namespace

std::string taskkill_path(const std::optional<std::string>& system_root) {
  std::string path = system_root ? *system_root : std::string(DEFAULT_SYSTEM_ROOT);
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += TASKKILL_IN_SYSTEM_ROOT;
  return path;
}

ToolCommand taskkill_command(const std::optional<std::string>& system_root,
                             std::span<const std::uint32_t> ids) {
  ToolCommand command = tool_command(taskkill_path(system_root));
  command.arguments = {"/T", "/F"};
  for (std::uint32_t id : ids) {
    command.arguments.push_back("/PID");
    command.arguments.push_back(std::to_string(id));
  }
  return command;
}

}  // namespace tw

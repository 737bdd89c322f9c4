#include "core/tools/taskkill_command.h"

namespace tw {

std::string taskkill_path(std::string_view system_directory) {
  std::string path(system_directory);
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += "taskkill.exe";
  return path;
}

ToolCommand taskkill_command(std::string_view system_directory,
                             std::span<const std::uint32_t> ids) {
  ToolCommand command = tool_command(taskkill_path(system_directory));
  command.arguments = {"/T", "/F"};
  for (std::uint32_t id : ids) {
    command.arguments.push_back("/PID");
    command.arguments.push_back(std::to_string(id));
  }
  return command;
}

}  // namespace tw

#include "core/tools/tool_command.h"

#include "core/platform/paths.h"

namespace tw {

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

bool is_drive_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The end of the component that starts at `from` (the next separator or the end of the text).
std::size_t component_end(std::string_view path, std::size_t from) {
  while (from < path.size() && !is_separator(path[from])) ++from;
  return from;
}

// Length of a leading Windows prefix: "C:", "\\server\share", "\\?\C:", "\\?\UNC\server\share",
// "\\?\name" or "\\.\name". A prefix is never part of a parent computation of its own.
std::size_t prefix_length(std::string_view path) {
  if (path.size() >= 2 && is_drive_letter(path[0]) && path[1] == ':') return 2;
  if (path.size() < 3 || !is_separator(path[0]) || !is_separator(path[1])) return 0;
  if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && is_separator(path[3])) {
    std::size_t name_end = component_end(path, 4);
    std::string_view name = path.substr(4, name_end - 4);
    if (name.size() == 2 && is_drive_letter(name[0]) && name[1] == ':') return name_end;
    if (path[2] == '?' && name == "UNC" && name_end < path.size()) {
      std::size_t server_end = component_end(path, name_end + 1);
      if (server_end >= path.size()) return server_end;
      return component_end(path, server_end + 1);
    }
    return name_end;
  }
  if (is_separator(path[2])) return 0;  // three separators: a plain root
  std::size_t server_end = component_end(path, 2);
  if (server_end >= path.size()) return server_end;
  return component_end(path, server_end + 1);
}

}  // namespace

std::optional<std::string> parent_path_text(std::string_view path) {
  const std::size_t prefix = prefix_length(path);
  std::size_t end = path.size();
  while (end > prefix && is_separator(path[end - 1])) --end;
  std::size_t root_end = prefix;
  while (root_end < end && is_separator(path[root_end])) ++root_end;
  if (end <= root_end) return std::nullopt;  // only a prefix and/or a root

  std::size_t last_start = end;
  while (last_start > root_end && !is_separator(path[last_start - 1])) --last_start;
  std::size_t parent_end = last_start;
  while (parent_end > root_end && is_separator(path[parent_end - 1])) --parent_end;
  // A parent that is the root keeps one separator ("/a" gives "/", "C:\a" gives "C:\").
  if (parent_end == root_end && root_end > prefix) parent_end = prefix + 1;
  return std::string(path.substr(0, parent_end));
}

ToolCommand tool_command(std::string_view program) {
  ToolCommand command;
  command.program = std::string(program);
  std::optional<std::string> parent = parent_path_text(program);
  if (parent && !parent->empty() && is_existing_directory(utf8_path(*parent))) {
    command.working_directory = std::move(*parent);
  }
  return command;
}

}  // namespace tw

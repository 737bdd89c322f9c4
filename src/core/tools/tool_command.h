#pragma once
// A prepared external command (the decoder, taskkill.exe): the program unchanged, no console
// window, and the program's own directory as working directory when that directory exists.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Windows' CREATE_NO_WINDOW, spelled out so that it exists on every platform (ignored on POSIX).
inline constexpr std::uint32_t CREATE_NO_WINDOW_FLAG = 0x08000000;

struct ToolCommand {
  std::string program;  // UTF-8, used unchanged
  std::vector<std::string> arguments;
  std::optional<std::string> working_directory;  // unset: the worker's own
  std::uint32_t creation_flags = CREATE_NO_WINDOW_FLAG;
};

// The command for `program` with no arguments. Cannot fail; the program is not looked for.
ToolCommand tool_command(std::string_view program);

// The parent of `path` worked out on the text alone, "\" and "/" both separating components:
// the path without its last component and the separators before it. A path that is empty, only
// a root, only a drive or UNC share, or a drive or share with its root has none.
std::optional<std::string> parent_path_text(std::string_view path);

}  // namespace tw

#pragma once
// A prepared external command (the decoder, taskkill.exe): the program unchanged, no console
// window, and the program's own directory as working directory when that directory exists.

#include <optional>
#include <string>
#include <string_view>

#include "core/platform/process_command.h"

namespace tw {

// The tools' name for what start_process runs.
using ToolCommand = ProcessCommand;

// The command for `program` with no arguments. Cannot fail; the program is not looked for.
ToolCommand tool_command(std::string_view program);

// The parent of `path` worked out on the text alone, "\" and "/" both separating components:
// the path without its last component and the separators before it. A path that is empty, only
// a root, only a drive or UNC share, or a drive or share with its root has none.
std::optional<std::string> parent_path_text(std::string_view path);

}  // namespace tw

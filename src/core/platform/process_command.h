#pragma once
// What start_process runs: the program and its arguments, used unchanged, the working
// directory and, on Windows, the process creation flags.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// Windows' CREATE_NO_WINDOW, spelled out so that it exists on every platform (ignored on POSIX).
inline constexpr std::uint32_t CREATE_NO_WINDOW_FLAG = 0x08000000;

struct ProcessCommand {
  std::string program;  // UTF-8, used unchanged
  std::vector<std::string> arguments;
  std::optional<std::string> working_directory;  // unset: the worker's own
  std::uint32_t creation_flags = CREATE_NO_WINDOW_FLAG;
};

}  // namespace tw

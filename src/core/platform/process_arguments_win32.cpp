#include <windows.h>

#include "core/platform/process_arguments.h"
#include "core/platform/windows_command_line.h"
#include "core/text/utf16.h"

namespace tw {

namespace {

// The full path of the running executable, however long.
std::u16string own_executable_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // truncated: try again with more room
  }
  return std::u16string(path.begin(), path.end());
}

}  // namespace

// argc and argv are ignored: the CRT's narrow and wide argv both differ from the command line
// as Windows programs split it (code page loss, "" inside quotes), so the line is split here.
std::vector<std::string> process_arguments(int, char**) {
  const wchar_t* line = GetCommandLineW();
  std::vector<std::u16string> words;
  if (line == nullptr || *line == L'\0') {
    words.push_back(own_executable_path());
  } else {
    words = split_windows_command_line(reinterpret_cast<const char16_t*>(line));
  }
  std::vector<std::string> arguments;
  for (std::size_t i = 1; i < words.size(); ++i) arguments.push_back(utf16_to_utf8(words[i]));
  return arguments;
}

}  // namespace tw

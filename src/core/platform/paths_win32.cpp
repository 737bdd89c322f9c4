#include <windows.h>

#include <string>

#include "core/platform/os_error.h"
#include "core/platform/paths.h"

namespace tw {
namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The forms Windows takes as they are: two separators first (a network share "\\server\share",
// "\\?\" and "\\.\" device paths, "\\?\UNC\...") or a drive with its root ("C:\"). The rest
// depends on a current directory: "a.wav", "\a.wav" (the current drive's root) and "C:a.wav"
// (the current directory of drive C).
bool is_fully_qualified(const std::wstring& path) {
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) return true;
  return path.size() >= 3 && path[1] == L':' && is_separator(path[2]);
}

}  // namespace

Result<std::string> absolute_path(std::string_view path) {
  const std::wstring given = utf8_path(path).native();
  if (given.empty() || is_fully_qualified(given)) return std::string(path);
  // The system's own resolution: mingw's std::filesystem takes "\\server\share" for a
  // root-relative path and "\\?\C:\a" for one on the current drive.
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return fail(last_os_error());
    if (length < full.size()) {
      full.resize(length);
      return path_utf8(std::filesystem::path(full));
    }
    full.resize(length);  // the size it needs, its terminator included
  }
}

}  // namespace tw

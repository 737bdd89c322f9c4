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

// The system's own resolution: mingw's std::filesystem takes "\\server\share" for a
// root-relative path and "\\?\C:\a" for one on the current drive.
Result<std::wstring> full_path(const std::wstring& given) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return fail(last_os_error());
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);  // the size it needs, its terminator included
  }
}

// Paths this long need the prefix: files are refused from MAX_PATH (the terminator counts),
// directories 12 units earlier (room for an 8.3 name).
constexpr std::size_t LONG_PATH_UNITS = MAX_PATH - 12;

bool has_device_prefix(const std::wstring& path) {
  return path.size() >= 4 && is_separator(path[0]) && is_separator(path[1]) &&
         (path[2] == L'?' || path[2] == L'.') && is_separator(path[3]);
}

}  // namespace

Result<std::string> absolute_path(std::string_view path) {
  const std::wstring given = utf8_path(path).native();
  if (given.empty() || is_fully_qualified(given)) return std::string(path);
  Result<std::wstring> full = full_path(given);
  if (!full) return fail(std::move(full.error()));
  return path_utf8(std::filesystem::path(*full));
}

std::string long_path_form(std::string_view path) {
  const std::wstring given = utf8_path(path).native();
  if (given.empty() || has_device_prefix(given)) return std::string(path);
  Result<std::wstring> full = full_path(given);
  if (!full || (full->size() < LONG_PATH_UNITS && given.size() < LONG_PATH_UNITS)) {
    return std::string(path);
  }
  const bool share = full->size() >= 2 && is_separator((*full)[0]) && is_separator((*full)[1]);
  const std::wstring prefixed = share ? L"\\\\?\\UNC\\" + full->substr(2) : L"\\\\?\\" + *full;
  return path_utf8(std::filesystem::path(prefixed));
}

}  // namespace tw

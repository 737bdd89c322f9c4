#include <windows.h>

#include "core/platform/system_info.h"
#include "core/text/utf16.h"

namespace tw {
namespace {

using DirectoryQuery = UINT(WINAPI*)(LPWSTR buffer, UINT size);

std::optional<std::string> directory(DirectoryQuery query) {
  wchar_t path[MAX_PATH + 1];
  const UINT length = query(path, MAX_PATH + 1);  // the size it needs when it does not fit
  if (length == 0 || length > MAX_PATH) return std::nullopt;
  return utf16_to_utf8(std::u16string_view(reinterpret_cast<const char16_t*>(path), length));
}

}  // namespace

unsigned logical_processor_count() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors;
}

std::optional<std::string> windows_directory() { return directory(GetSystemWindowsDirectoryW); }
std::optional<std::string> system_directory() { return directory(GetSystemDirectoryW); }

}  // namespace tw

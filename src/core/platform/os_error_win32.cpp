#include <windows.h>

#include "core/platform/os_error.h"
#include "core/text/utf16.h"

namespace tw {

std::string system_error_text(int code) {
  wchar_t buffer[2048];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(code), 0, buffer, 2048, nullptr);
  if (length == 0) {
    return "OS Error " + std::to_string(code) + " (FormatMessageW() returned error " +
           std::to_string(GetLastError()) + ")";
  }
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' ||
                        buffer[length - 1] == L' ' || buffer[length - 1] == L'\t')) {
    --length;
  }
  return utf16_to_utf8(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), length));
}

Error last_os_error() { return os_error(static_cast<int>(GetLastError())); }

}  // namespace tw

#include <windows.h>

#include "core/platform/environment.h"
#include "core/text/utf16.h"

namespace tw {

std::optional<std::string> environment_variable(std::string_view name) {
  std::u16string wide_name = utf8_to_utf16(name);
  const wchar_t* key = reinterpret_cast<const wchar_t*>(wide_name.c_str());
  SetLastError(ERROR_SUCCESS);
  DWORD size = GetEnvironmentVariableW(key, nullptr, 0);
  if (size == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();  // set, and empty
  }
  std::u16string value(size, u'\0');
  DWORD length = GetEnvironmentVariableW(key, reinterpret_cast<wchar_t*>(value.data()), size);
  if (length >= size) return std::nullopt;  // changed under us; treat as unset
  value.resize(length);
  std::string text = utf16_to_utf8(value);
  if (utf8_to_utf16(text) != value) return std::nullopt;  // an unpaired surrogate: not Unicode
  return text;
}

}  // namespace tw

#pragma once
// Sets or removes "SystemRoot" in a stand-in's own environment: wine fixes the variable for a
// program started from Linux, so a test cannot set it from outside.
#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

#include <optional>
#include <string>

#include "core/text/utf16.h"

// Sets "SystemRoot" to `value` (which may be empty), or removes it.
inline void set_system_root(const std::optional<std::string>& value) {
#ifdef _WIN32
  std::u16string wide = tw::utf8_to_utf16(value.value_or(""));
  SetEnvironmentVariableW(L"SystemRoot",
                          value ? reinterpret_cast<const wchar_t*>(wide.c_str()) : nullptr);
#else
  if (value) {
    setenv("SystemRoot", value->c_str(), 1);
  } else {
    unsetenv("SystemRoot");
  }
#endif
}

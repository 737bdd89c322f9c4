#include <windows.h>

#include "core/platform/process_liveness.h"
#include "core/text/utf16.h"

namespace tw {

std::uint32_t current_process_id() { return GetCurrentProcessId(); }

std::string host_name() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &length)) return {};
  return utf16_to_utf8(std::u16string_view(reinterpret_cast<const char16_t*>(name), length));
}

bool process_is_gone(std::uint32_t id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return ended;
}

}  // namespace tw

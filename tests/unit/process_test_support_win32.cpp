#include <windows.h>

#include <string>

#include "core/text/utf16.h"
#include "process_test_support.h"

namespace tw::test {

bool process_running(std::uint32_t id) {
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (process == nullptr) return false;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

std::string own_program_path() {
  std::u16string path(32768, u'\0');
  DWORD length = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()), path.size());
  path.resize(length);
  return utf16_to_utf8(path);
}

void force_end(std::uint32_t id) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
  if (process == nullptr) return;
  TerminateProcess(process, 1);
  CloseHandle(process);
}

}  // namespace tw::test

#include <windows.h>

#include <string>

#include "core/platform/fail_fast.h"

namespace tw {
namespace {

DWORD main_thread_id = 0;  // written once, before any other thread exists

// mingw-w64 does not declare the intrinsic: int 0x29 with the code in ecx is its definition.
[[noreturn]] void fast_fail(unsigned int code) {
  __asm__ __volatile__("int $0x29" : : "c"(code) : "memory");
  __builtin_unreachable();
}

}  // namespace

void fail_fast(std::string_view fault) {
  const DWORD thread = GetCurrentThreadId();
  std::string line = "transcribe-worker: fatal internal failure on ";
  line += thread == main_thread_id ? std::string("the main thread")
                                   : "thread " + std::to_string(thread);
  line += ": ";
  line += fault;
  line += '\n';
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err != nullptr && err != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  fast_fail(FAST_FAIL_FATAL_APP_EXIT);
}

void install_process_guards() {
  main_thread_id = GetCurrentThreadId();
  install_terminate_handler();
}

}  // namespace tw

#include <windows.h>

#include <string>

#include "core/platform/fail_fast.h"
#include "core/platform/std_handles_win32.h"

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
  // Straight to the handle, without the standard-error lock that a broken thread might hold.
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err != nullptr && err != INVALID_HANDLE_VALUE) {
    if (is_console(err)) {
      (void)write_console_text(err, line);
    } else {
      std::string_view left = line;
      DWORD written = 0;
      while (!left.empty() && write_some(err, left, written) && written > 0) {
        left.remove_prefix(written);
      }
    }
  }
  fast_fail(FAST_FAIL_FATAL_APP_EXIT);
}

void install_process_guards() {
  main_thread_id = GetCurrentThreadId();
  // A crash, in the worker or (inherited) in ffmpeg, ends the process at once: no Windows Error
  // Reporting dialog or report to wait for while the host waits for us, and no "no disk" or
  // missing-file box for a path on an empty drive.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX |
               SEM_NOOPENFILEERRORBOX);
  // DLLs loaded later by base name (ONNX Runtime's provider libraries) are not looked for in the
  // current directory, which is the host's; PATH is still searched.
  SetDllDirectoryW(L"");
  install_terminate_handler();
}

}  // namespace tw

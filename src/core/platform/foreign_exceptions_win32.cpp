#include <windows.h>

#include <atomic>

#include "core/error_exit.h"
#include "core/platform/foreign_exceptions.h"

namespace tw {
namespace {

// The exception code of every C++ exception thrown by MSVC-built code ('msc' | 0xE0000000).
constexpr DWORD MSVC_CXX_EXCEPTION = 0xE06D7363;

// The call being guarded: its thread and the error to end with. One guarded call at a time.
std::atomic<DWORD> guarded_thread{0};
const Error* guarded_error = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER previous_filter = nullptr;

// Runs only for an exception that no frame handled: one that would end the process anyway.
// An MSVC exception escaping the guarded call cannot be caught by mingw code, and the stack
// cannot be unwound into it, so the run ends here with its error line, as the entry point
// would end it.
LONG WINAPI unhandled_exception(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode == MSVC_CXX_EXCEPTION &&
      guarded_thread.load() == GetCurrentThreadId()) {
    exit_with_error(*guarded_error);
  }
  return previous_filter != nullptr ? previous_filter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

bool call_catching_exceptions(void (*call)(void* context), void* context,
                              const Error& uncatchable) {
  guarded_error = &uncatchable;
  guarded_thread.store(GetCurrentThreadId());
  previous_filter = SetUnhandledExceptionFilter(unhandled_exception);
  call(context);
  SetUnhandledExceptionFilter(previous_filter);
  guarded_thread.store(0);
  guarded_error = nullptr;
  return true;
}

}  // namespace tw

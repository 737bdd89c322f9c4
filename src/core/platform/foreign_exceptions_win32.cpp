#include <windows.h>

#include <atomic>
#include <cstdint>

#include "core/platform/fail_fast.h"
#include "core/platform/foreign_exceptions.h"

namespace tw {
namespace {

// The exception code of every C++ exception thrown by MSVC-built code ('msc' | 0xE0000000).
constexpr DWORD MSVC_CXX_EXCEPTION = 0xE06D7363;
// Its record's parameters on x64: a magic number of the compiler's exception scheme, the thrown
// object, its throw information and the image base that the information's offsets count from.
constexpr ULONG_PTR MSVC_MAGIC_FIRST = 0x19930520;
constexpr ULONG_PTR MSVC_MAGIC_LAST = 0x19930522;
constexpr DWORD MSVC_PARAMETERS = 4;

// The throw information's layout: the types the object can be caught as, each with the offset
// of that base within the object. Offsets are relative to the image base.
struct ThrowInfo {
  std::uint32_t attributes;
  std::int32_t unwind;
  std::int32_t forward_compatibility;
  std::int32_t catchable_types;  // count, then that many offsets of CatchableType
};
struct CatchableType {
  std::uint32_t properties;
  std::int32_t type;  // a TypeDescriptor: two pointers, then the decorated name
  std::int32_t member_offset;
  std::int32_t vbtable_offset;  // -1 unless the base is virtual
  std::int32_t vbase_offset;
  std::int32_t size;
  std::int32_t copy;
};
constexpr std::size_t TYPE_NAME_OFFSET = 2 * sizeof(void*);
constexpr std::string_view STD_EXCEPTION_NAME = ".?AVexception@std@@";
// std::exception's virtual functions: the deleting destructor, then what().
constexpr std::size_t WHAT_SLOT = 1;

// what() of the thrown object when it is a std::exception, else empty. x64 has one calling
// convention, so the library's what() can be called from here like a plain function of `this`.
std::string exception_text(const EXCEPTION_RECORD& record) {
  const ULONG_PTR* parameters = record.ExceptionInformation;
  if (record.ExceptionCode != MSVC_CXX_EXCEPTION || record.NumberParameters < MSVC_PARAMETERS ||
      parameters[0] < MSVC_MAGIC_FIRST || parameters[0] > MSVC_MAGIC_LAST || parameters[1] == 0 ||
      parameters[2] == 0 || parameters[3] == 0) {
    return {};
  }
  const auto* object = reinterpret_cast<const char*>(parameters[1]);
  const auto* info = reinterpret_cast<const ThrowInfo*>(parameters[2]);
  const auto* base = reinterpret_cast<const char*>(parameters[3]);
  const auto* types = reinterpret_cast<const std::int32_t*>(base + info->catchable_types);
  for (std::int32_t i = 1; i <= types[0]; ++i) {
    const auto* type = reinterpret_cast<const CatchableType*>(base + types[i]);
    const char* name = base + type->type + TYPE_NAME_OFFSET;
    if (name != STD_EXCEPTION_NAME || type->vbtable_offset != -1) continue;
    const void* exception = object + type->member_offset;
    using What = const char* (*)(const void* self);
    const What what = (*static_cast<const What* const*>(exception))[WHAT_SLOT];
    const char* text = what(exception);
    return text != nullptr ? text : "";
  }
  return {};
}

// The call being guarded: its thread and how to end. One guarded call at a time.
std::atomic<DWORD> guarded_thread{0};
const UncatchableExit* guarded_exit = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER previous_filter = nullptr;

// Runs only for an exception that no frame handled: one that would end the process anyway.
// An MSVC exception escaping the guarded call cannot be caught by mingw code, and the stack
// cannot be unwound into it, so the run ends here through the caller's exit (the worker's:
// its error line, as the entry point would end it).
LONG WINAPI unhandled_exception(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode == MSVC_CXX_EXCEPTION &&
      guarded_thread.load() == GetCurrentThreadId()) {
    (*guarded_exit)(exception_text(*exception->ExceptionRecord));
    fail_fast("the exit for an uncatchable exception returned");
  }
  return previous_filter != nullptr ? previous_filter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

std::optional<std::string> call_catching_exceptions(void (*call)(void* context), void* context,
                                                    const UncatchableExit& uncatchable) {
  guarded_exit = &uncatchable;
  guarded_thread.store(GetCurrentThreadId());
  previous_filter = SetUnhandledExceptionFilter(unhandled_exception);
  call(context);
  SetUnhandledExceptionFilter(previous_filter);
  guarded_thread.store(0);
  guarded_exit = nullptr;
  return std::nullopt;
}

}  // namespace tw

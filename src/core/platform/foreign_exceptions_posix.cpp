#include "core/platform/foreign_exceptions.h"

namespace tw {

// The library and the worker share libstdc++ and its unwinder, so the library's exception is
// an ordinary C++ exception here.
bool call_catching_exceptions(void (*call)(void* context), void* context, const Error&) {
  try {
    call(context);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace tw

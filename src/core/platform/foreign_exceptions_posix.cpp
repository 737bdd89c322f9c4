#include <exception>

#include "core/platform/foreign_exceptions.h"

namespace tw {

// The library and the worker share libstdc++ and its unwinder, so the library's exception is
// an ordinary C++ exception here.
std::optional<std::string> call_catching_exceptions(void (*call)(void* context), void* context,
                                                    const UncatchableExit&) {
  try {
    call(context);
    return std::nullopt;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "";
  }
}

}  // namespace tw

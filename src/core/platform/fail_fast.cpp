#include "core/platform/fail_fast.h"

#include <exception>
#include <string>
#include <typeinfo>

namespace tw {
namespace {

// What std::terminate was called for: the escaped exception, or the bare call.
std::string termination_fault() {
  std::exception_ptr escaped = std::current_exception();
  if (!escaped) return "std::terminate called";
  try {
    std::rethrow_exception(escaped);
  } catch (const std::exception& e) {
    return std::string("uncaught exception: ") + e.what();
  } catch (...) {
    return "uncaught exception of an unknown type";
  }
}

}  // namespace

void install_terminate_handler() {
  std::set_terminate([] { fail_fast(termination_fault()); });
}

}  // namespace tw

#include "core/platform/os_error.h"

namespace tw {

Error os_error(int code) {
  return Error(system_error_text(code) + " (os error " + std::to_string(code) + ")");
}

}  // namespace tw

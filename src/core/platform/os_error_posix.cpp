#include <cerrno>
#include <cstring>

#include "core/platform/os_error.h"

namespace tw {

std::string system_error_text(int code) {
  char buffer[256];
  // GNU strerror_r: returns the text, which may or may not live in `buffer`.
  return strerror_r(code, buffer, sizeof buffer);
}

Error last_os_error() { return os_error(errno); }

}  // namespace tw

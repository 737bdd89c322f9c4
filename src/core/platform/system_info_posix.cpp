#include <unistd.h>

#include "core/platform/system_info.h"

namespace tw {

unsigned logical_processor_count() {
  long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<unsigned>(count) : 0;
}

std::optional<std::string> windows_directory() { return std::nullopt; }
std::optional<std::string> system_directory() { return std::nullopt; }

}  // namespace tw

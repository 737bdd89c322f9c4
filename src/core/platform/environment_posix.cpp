#include <cstdlib>
#include <string>

#include "core/platform/environment.h"

namespace tw {

std::optional<std::string> environment_variable(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace tw

#include <cstdlib>
#include <string>

#include "core/platform/environment.h"
#include "core/text/utf8.h"

namespace tw {

std::optional<std::string> environment_variable(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr) return std::nullopt;
  std::string text(value);
  if (!is_valid_utf8(text)) return std::nullopt;
  return text;
}

}  // namespace tw

#include <cstdlib>
#include <string>

#include "core/platform/environment.h"
#include "core/platform/text.h"

namespace tw {

std::optional<std::string> environment_variable(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr) return std::nullopt;
  std::string text(value);
  // Bytes that are not UTF-8 do not survive the round trip: they became U+FFFD.
  if (utf16_to_utf8(utf8_to_utf16(text)) != text) return std::nullopt;
  return text;
}

}  // namespace tw

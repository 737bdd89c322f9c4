#include "worker/optional_value_text.h"

#include <algorithm>
#include <iterator>

#include "core/platform/text.h"

namespace tw {

namespace {

struct CodePointRange {
  char32_t first;
  char32_t last;
};

constexpr CodePointRange UNPRINTABLE[] = {
#include "worker/unprintable_code_points.inc"
};

bool is_printable(char32_t code_point) {
  auto after = std::upper_bound(
      std::begin(UNPRINTABLE), std::end(UNPRINTABLE), code_point,
      [](char32_t value, const CodePointRange& range) { return value < range.first; });
  return after == std::begin(UNPRINTABLE) || code_point > std::prev(after)->last;
}

// The escape for `code_point`, or nothing when it is written as itself.
std::string escape(char32_t code_point) {
  switch (code_point) {
    case U'\\':
      return "\\\\";
    case U'"':
      return "\\\"";
    case U'\t':
      return "\\t";
    case U'\r':
      return "\\r";
    case U'\n':
      return "\\n";
    case U'\0':
      return "\\0";
    default:
      break;
  }
  if (is_printable(code_point)) return {};
  std::string hex;
  do {
    hex.insert(hex.begin(), "0123456789abcdef"[code_point & 0xF]);
    code_point >>= 4;
  } while (code_point != 0);
  return "\\u{" + hex + "}";
}

}  // namespace

std::string optional_value_text(std::optional<std::string_view> value) {
  if (!value) return "None";
  // Through UTF-16, where invalid bytes have already become U+FFFD and every code point is one
  // unit or one surrogate pair.
  std::u16string units = utf8_to_utf16(*value);
  std::string out = "Some(\"";
  for (std::size_t i = 0; i < units.size();) {
    char32_t code_point = units[i];
    std::size_t length = 1;
    if (code_point >= 0xD800 && code_point <= 0xDBFF && i + 1 < units.size()) {
      code_point = 0x10000 + ((code_point - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      length = 2;
    }
    std::string escaped = escape(code_point);
    out += escaped.empty() ? utf16_to_utf8(std::u16string_view(units).substr(i, length)) : escaped;
    i += length;
  }
  out += "\")";
  return out;
}

}  // namespace tw

#include "worker/optional_value_text.h"

#include <algorithm>
#include <iterator>

#include "core/text/utf8.h"

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
  std::string_view rest = *value;
  std::string out = "Some(\"";
  while (!rest.empty()) {
    const DecodedCodePoint decoded = decode_utf8(rest);
    const char32_t code_point =
        decoded.code_point == INVALID_CODE_POINT ? REPLACEMENT_CHARACTER : decoded.code_point;
    const std::string escaped = escape(code_point);
    if (escaped.empty()) {
      append_utf8(out, code_point);
    } else {
      out += escaped;
    }
    rest.remove_prefix(decoded.length);
  }
  out += "\")";
  return out;
}

}  // namespace tw

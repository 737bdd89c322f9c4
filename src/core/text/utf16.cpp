#include "core/text/utf16.h"

#include "core/text/utf8.h"

namespace tw {

namespace {

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool is_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

void append_utf16(std::u16string& out, char32_t code_point) {
  if (code_point < 0x10000) {
    out += static_cast<char16_t>(code_point);
  } else {
    char32_t offset = code_point - 0x10000;
    out += static_cast<char16_t>(0xD800 | (offset >> 10));
    out += static_cast<char16_t>(0xDC00 | (offset & 0x3FF));
  }
}

}  // namespace

std::string utf16_to_utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    if (!is_surrogate(unit)) {
      append_utf8(out, unit);
    } else if (is_high_surrogate(unit) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
      char32_t high = unit - 0xD800;
      char32_t low = text[i + 1] - 0xDC00;
      append_utf8(out, 0x10000 + ((high << 10) | low));
      ++i;
    } else {
      append_utf8(out, REPLACEMENT_CHARACTER);
    }
  }
  return out;
}

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const DecodedCodePoint decoded = decode_utf8(text);
    append_utf16(
        out, decoded.code_point == INVALID_CODE_POINT ? REPLACEMENT_CHARACTER : decoded.code_point);
    text.remove_prefix(decoded.length);
  }
  return out;
}

std::size_t utf16_piece_length(std::u16string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  const bool splits_a_pair = is_high_surrogate(text[limit - 1]) && is_low_surrogate(text[limit]);
  return splits_a_pair && limit > 1 ? limit - 1 : limit;
}

}  // namespace tw

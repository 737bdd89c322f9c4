#include "core/text/white_space.h"

#include "core/text/utf8.h"

namespace tw {
namespace {

// The length of the white space character at the end of `text`, or 0.
std::size_t trailing_white_space_length(std::string_view text) {
  // A character has at most three continuation bytes after its lead.
  std::size_t start = text.size();
  while (start > 0 && text.size() - start < 4) {
    --start;
    if (!is_utf8_continuation(text[start])) break;
  }
  if (start == text.size()) return 0;
  const DecodedCodePoint last = decode_utf8(text.substr(start));
  const bool whole = start + last.length == text.size();
  return whole && is_unicode_white_space(last.code_point) ? last.length : 0;
}

}  // namespace

bool is_unicode_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::string_view trim_leading_unicode_white_space(std::string_view text) {
  while (!text.empty()) {
    const DecodedCodePoint first = decode_utf8(text);
    if (!is_unicode_white_space(first.code_point)) break;
    text.remove_prefix(first.length);
  }
  return text;
}

std::string_view trim_unicode_white_space(std::string_view text) {
  text = trim_leading_unicode_white_space(text);
  while (const std::size_t length = trailing_white_space_length(text)) {
    text.remove_suffix(length);
  }
  return text;
}

}  // namespace tw

#include "core/subtitles/display_width.h"

#include <utf8proc.h>

#include <algorithm>

#include "core/text/utf8.h"

namespace tw::subtitles {
namespace {

// Hangul is as wide as Han but written with blanks between words.
bool is_hangul(char32_t c) {
  return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
         (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF);
}

bool written_without_blanks(char32_t c) {
  if (c == INVALID_CODE_POINT || is_hangul(c)) return false;
  return utf8proc_charwidth(static_cast<utf8proc_int32_t>(c)) == 2;
}

char32_t first_code_point(std::string_view text) {
  return text.empty() ? INVALID_CODE_POINT : decode_utf8(text).code_point;
}

char32_t last_code_point(std::string_view text) {
  std::size_t start = text.size();
  while (start > 0 && text.size() - start < 4) {
    --start;
    if (!is_utf8_continuation(text[start])) break;
  }
  if (start == text.size()) return INVALID_CODE_POINT;
  const DecodedCodePoint last = decode_utf8(text.substr(start));
  return start + last.length == text.size() ? last.code_point : INVALID_CODE_POINT;
}

}  // namespace

std::size_t display_width(std::string_view text) {
  std::size_t width = 0;
  while (!text.empty()) {
    const DecodedCodePoint next = decode_utf8(text);
    text.remove_prefix(next.length);
    if (next.code_point == INVALID_CODE_POINT) {
      ++width;
    } else {
      width += static_cast<std::size_t>(
          std::max(0, utf8proc_charwidth(static_cast<utf8proc_int32_t>(next.code_point))));
    }
  }
  return width;
}

std::size_t character_count(std::string_view text) {
  return static_cast<std::size_t>(
      std::ranges::count_if(text, [](char c) { return !is_utf8_continuation(c); }));
}

bool joins_without_blank(std::string_view left, std::string_view right) {
  return written_without_blanks(last_code_point(left)) &&
         written_without_blanks(first_code_point(right));
}

std::string join_words(std::span<const CueWord> words) {
  std::string line;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0 && !joins_without_blank(words[i - 1].text, words[i].text)) line += ' ';
    line += words[i].text;
  }
  return line;
}

std::size_t added_width(std::string_view left, std::string_view right) {
  return display_width(right) + (joins_without_blank(left, right) ? 0 : 1);
}

}  // namespace tw::subtitles

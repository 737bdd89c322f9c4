#include "core/asr/result_text_blanks.h"

#include "core/text/utf8.h"

namespace tw {
namespace {

struct Range {
  char32_t first;
  char32_t last;
};

bool in_ranges(char32_t c, std::initializer_list<Range> ranges) {
  for (const Range& range : ranges) {
    if (c >= range.first && c <= range.last) return true;
  }
  return false;
}

bool is_punctuation(char32_t c) {
  return in_ranges(c, {{0x21, 0x2F},
                       {0x3A, 0x40},
                       {0x5B, 0x60},
                       {0x7B, 0x7E},
                       {0x3000, 0x303F},
                       {0xFF01, 0xFF0F},
                       {0xFF1A, 0xFF20},
                       {0xFF3B, 0xFF40},
                       {0xFF5B, 0xFF65}});
}

// Hangul, CJK ideographs, kana, Yi and their symbols, as the library counts them: so also the
// blocks between Yi and the Hangul syllables, the CJK symbols and punctuation and the halfwidth
// middle dot.
bool is_cjk(char32_t c) {
  return in_ranges(c, {{0x1100, 0x11FF},
                       {0x2E80, 0xA4CF},
                       {0xA840, 0xD7AF},
                       {0xF900, 0xFAFF},
                       {0xFE30, 0xFE4F},
                       {0xFF65, 0xFFDC},
                       {0x20000, 0x2FFFF}});
}

// The last character of non-empty `text`.
char32_t last_character(std::string_view text) {
  std::size_t start = text.size() - 1;
  while (start > 0 && text.size() - start < 4 && is_utf8_continuation(text[start])) --start;
  const DecodedCodePoint last = decode_utf8(text.substr(start));
  return start + last.length == text.size() ? last.code_point : INVALID_CODE_POINT;
}

}  // namespace

bool library_drops_blank_between(std::string_view before, std::string_view after) {
  if (before.empty() || after.empty()) return false;
  const char32_t next = decode_utf8(after).code_point;
  return is_punctuation(next) || (is_cjk(next) && is_cjk(last_character(before)));
}

}  // namespace tw

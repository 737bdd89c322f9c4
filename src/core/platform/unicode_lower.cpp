#include "core/platform/unicode_lower.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <vector>

#include "core/platform/unicode_lower_table.h"

namespace tw {
namespace {

namespace table = unicode_lower_table;

constexpr char32_t CAPITAL_SIGMA = 0x03A3;
constexpr char32_t SMALL_SIGMA = 0x03C3;
constexpr char32_t FINAL_SIGMA = 0x03C2;
// Stands for a byte that does not begin a valid UTF-8 sequence: neither cased nor
// case-ignorable, and copied through as the byte itself.
constexpr char32_t NOT_UTF8 = 0xFFFFFFFF;

struct Decoded {
  char32_t code_point;
  unsigned char byte;  // the raw byte when code_point is NOT_UTF8
};

// The length of the valid UTF-8 sequence at the start of `bytes` and its code point, or 0.
std::size_t decode_one(std::string_view bytes, char32_t& code_point) {
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  unsigned char lead = at(0);
  if (lead < 0x80) {
    code_point = lead;
    return 1;
  }
  std::size_t length;
  char32_t value;
  unsigned char second_min = 0x80, second_max = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) second_min = 0xA0;  // no overlong forms
    if (lead == 0xED) second_max = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) second_min = 0x90;  // no overlong forms
    if (lead == 0xF4) second_max = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    unsigned char min = i == 1 ? second_min : 0x80;
    unsigned char max = i == 1 ? second_max : 0xBF;
    if (at(i) < min || at(i) > max) return 0;
    value = (value << 6) | (at(i) & 0x3F);
  }
  code_point = value;
  return length;
}

std::vector<Decoded> decode(std::string_view text) {
  std::vector<Decoded> decoded;
  decoded.reserve(text.size());
  while (!text.empty()) {
    char32_t code_point = 0;
    std::size_t length = decode_one(text, code_point);
    if (length == 0) {
      decoded.push_back({NOT_UTF8, static_cast<unsigned char>(text[0])});
      length = 1;
    } else {
      decoded.push_back({code_point, 0});
    }
    text.remove_prefix(length);
  }
  return decoded;
}

void append_utf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

bool in_ranges(std::span<const table::CodePointRange> ranges, char32_t code_point) {
  auto after = std::upper_bound(
      ranges.begin(), ranges.end(), code_point,
      [](char32_t value, const table::CodePointRange& range) { return value < range.first; });
  return after != ranges.begin() && code_point <= std::prev(after)->last;
}

bool is_cased(char32_t c) { return in_ranges(table::cased_ranges(), c); }
bool is_case_ignorable(char32_t c) { return in_ranges(table::case_ignorable_ranges(), c); }

// Skips case-ignorable code points from `from` in steps of `step` (+1 or -1) and tells whether
// the first other one is cased.
bool case_ignorable_then_cased(const std::vector<Decoded>& text, std::ptrdiff_t from,
                               std::ptrdiff_t step) {
  for (std::ptrdiff_t i = from; i >= 0 && i < static_cast<std::ptrdiff_t>(text.size()); i += step) {
    char32_t c = text[static_cast<std::size_t>(i)].code_point;
    if (c != NOT_UTF8 && is_case_ignorable(c)) continue;
    return c != NOT_UTF8 && is_cased(c);
  }
  return false;
}

void append_lower(std::string& out, char32_t code_point) {
  auto full = table::full_mappings();
  auto special = std::lower_bound(
      full.begin(), full.end(), code_point,
      [](const table::FullMapping& mapping, char32_t value) { return mapping.from < value; });
  if (special != full.end() && special->from == code_point) {
    for (std::uint8_t i = 0; i < special->length; ++i) append_utf8(out, special->to[i]);
    return;
  }
  auto simple = table::simple_mappings();
  auto mapped = std::lower_bound(
      simple.begin(), simple.end(), code_point,
      [](const table::SimpleMapping& mapping, char32_t value) { return mapping.from < value; });
  append_utf8(out, mapped != simple.end() && mapped->from == code_point ? mapped->to : code_point);
}

}  // namespace

std::string unicode_lower(std::string_view text) {
  std::vector<Decoded> decoded = decode(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    char32_t c = decoded[i].code_point;
    if (c == NOT_UTF8) {
      out += static_cast<char>(decoded[i].byte);
    } else if (c == CAPITAL_SIGMA) {
      auto at = static_cast<std::ptrdiff_t>(i);
      bool word_final = case_ignorable_then_cased(decoded, at - 1, -1) &&
                        !case_ignorable_then_cased(decoded, at + 1, +1);
      append_utf8(out, word_final ? FINAL_SIGMA : SMALL_SIGMA);
    } else {
      append_lower(out, c);
    }
  }
  return out;
}

}  // namespace tw

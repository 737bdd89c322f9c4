#include "core/platform/unicode_lower.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <vector>

#include "core/platform/unicode_lower_table.h"
#include "core/text/utf8.h"

namespace tw {
namespace {

namespace table = unicode_lower_table;

constexpr char32_t CAPITAL_SIGMA = 0x03A3;
constexpr char32_t SMALL_SIGMA = 0x03C3;
constexpr char32_t FINAL_SIGMA = 0x03C2;

// A byte that does not begin a valid UTF-8 sequence is neither cased nor case-ignorable, and is
// copied through as it is.
struct Decoded {
  char32_t code_point;  // INVALID_CODE_POINT for such a byte
  unsigned char byte;   // the raw byte when code_point is INVALID_CODE_POINT
};

std::vector<Decoded> decode(std::string_view text) {
  std::vector<Decoded> decoded;
  decoded.reserve(text.size());
  while (!text.empty()) {
    const DecodedCodePoint next = decode_utf8(text);
    if (next.code_point == INVALID_CODE_POINT) {
      // Only the first byte: the rest of an invalid subpart are continuation bytes, which are
      // invalid on their own too.
      decoded.push_back({INVALID_CODE_POINT, static_cast<unsigned char>(text[0])});
      text.remove_prefix(1);
    } else {
      decoded.push_back({next.code_point, 0});
      text.remove_prefix(next.length);
    }
  }
  return decoded;
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
    if (c != INVALID_CODE_POINT && is_case_ignorable(c)) continue;
    return c != INVALID_CODE_POINT && is_cased(c);
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
    if (c == INVALID_CODE_POINT) {
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

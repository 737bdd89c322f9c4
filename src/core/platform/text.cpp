#include "core/platform/text.h"

#include <cstdint>

namespace tw {

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool is_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

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

void append_utf16(std::u16string& out, char32_t code_point) {
  if (code_point < 0x10000) {
    out += static_cast<char16_t>(code_point);
  } else {
    char32_t offset = code_point - 0x10000;
    out += static_cast<char16_t>(0xD800 | (offset >> 10));
    out += static_cast<char16_t>(0xDC00 | (offset & 0x3FF));
  }
}

// The sequence a lead byte opens: its total length, the payload bits it carries, and the range
// its first continuation byte must fall in (narrower than 80..BF where a wider range would allow
// overlong forms, surrogates or code points above U+10FFFF).
struct Lead {
  int length = 0;  // 0: the byte cannot start a sequence
  char32_t bits = 0;
  std::uint8_t second_min = 0x80;
  std::uint8_t second_max = 0xBF;
};

Lead classify_lead(std::uint8_t byte) {
  if (byte < 0x80) return {1, byte};
  if (byte < 0xC2) return {};
  if (byte < 0xE0) return {2, static_cast<char32_t>(byte & 0x1F)};
  if (byte < 0xF0) {
    Lead lead{3, static_cast<char32_t>(byte & 0x0F)};
    if (byte == 0xE0) lead.second_min = 0xA0;
    if (byte == 0xED) lead.second_max = 0x9F;
    return lead;
  }
  if (byte < 0xF5) {
    Lead lead{4, static_cast<char32_t>(byte & 0x07)};
    if (byte == 0xF0) lead.second_min = 0x90;
    if (byte == 0xF4) lead.second_max = 0x8F;
    return lead;
  }
  return {};
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
      append_utf8(out, REPLACEMENT);
    }
  }
  return out;
}

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    Lead lead = classify_lead(static_cast<std::uint8_t>(text[i]));
    ++i;
    if (lead.length == 0) {
      out += static_cast<char16_t>(REPLACEMENT);
      continue;
    }
    // Take continuation bytes while they fit; the first one that does not ends the maximal
    // invalid subpart, which becomes one replacement character, and is looked at again.
    char32_t code_point = lead.bits;
    int taken = 1;
    while (taken < lead.length && i < text.size()) {
      auto byte = static_cast<std::uint8_t>(text[i]);
      std::uint8_t min = taken == 1 ? lead.second_min : 0x80;
      std::uint8_t max = taken == 1 ? lead.second_max : 0xBF;
      if (byte < min || byte > max) break;
      code_point = (code_point << 6) | (byte & 0x3F);
      ++taken;
      ++i;
    }
    append_utf16(out, taken == lead.length ? code_point : REPLACEMENT);
  }
  return out;
}

}  // namespace tw

#include "core/text/utf8.h"

#include <cstdint>

namespace tw {
namespace {

// The sequence a lead byte opens: its total length, the payload bits it carries, and the range
// its second byte must fall in (narrower than 80..BF where a wider range would allow overlong
// forms, surrogates or code points above U+10FFFF).
struct Lead {
  std::size_t length = 0;  // 0: the byte cannot start a sequence
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

DecodedCodePoint decode_utf8(std::string_view bytes) {
  if (bytes.empty()) return {INVALID_CODE_POINT, 0};
  const Lead lead = classify_lead(static_cast<std::uint8_t>(bytes[0]));
  if (lead.length == 0) return {INVALID_CODE_POINT, 1};
  // Take continuation bytes while they fit; the first one that does not ends the maximal
  // invalid subpart and is left for the next character.
  char32_t code_point = lead.bits;
  std::size_t taken = 1;
  while (taken < lead.length && taken < bytes.size()) {
    const auto byte = static_cast<std::uint8_t>(bytes[taken]);
    const std::uint8_t min = taken == 1 ? lead.second_min : 0x80;
    const std::uint8_t max = taken == 1 ? lead.second_max : 0xBF;
    if (byte < min || byte > max) break;
    code_point = (code_point << 6) | (byte & 0x3F);
    ++taken;
  }
  return {taken == lead.length ? code_point : INVALID_CODE_POINT, taken};
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

bool is_valid_utf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const DecodedCodePoint decoded = decode_utf8(bytes);
    if (decoded.code_point == INVALID_CODE_POINT) return false;
    bytes.remove_prefix(decoded.length);
  }
  return true;
}

std::string repair_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const DecodedCodePoint decoded = decode_utf8(text);
    if (decoded.code_point == INVALID_CODE_POINT) {
      append_utf8(out, REPLACEMENT_CHARACTER);
    } else {
      out.append(text.substr(0, decoded.length));
    }
    text.remove_prefix(decoded.length);
  }
  return out;
}

}  // namespace tw

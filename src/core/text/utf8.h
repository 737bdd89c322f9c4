#pragma once
// Reading and writing UTF-8, and making text from outside valid before anything parses it.
//
// Ill-formed input is read by the Unicode standard's recommended practice: each maximal subpart
// of an ill-formed sequence (the longest start of a well-formed sequence that is there, or else
// one byte) counts as one invalid character, so "\x80\x80" is two and a truncated "\xE2\x96"
// one. A byte that ends a subpart is read again as the start of the next character.

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

inline constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

// Stands for a maximal invalid subpart; never a code point.
inline constexpr char32_t INVALID_CODE_POINT = 0xFFFFFFFF;

struct DecodedCodePoint {
  char32_t code_point;  // INVALID_CODE_POINT for an ill-formed sequence
  std::size_t length;   // the bytes it takes, 1 to 4 (0 only for empty bytes)
};

// The character at the start of `bytes`. Overlong forms, surrogates and values above U+10FFFF
// are ill-formed. Empty `bytes` hold no character: INVALID_CODE_POINT with length 0.
DecodedCodePoint decode_utf8(std::string_view bytes);

// `code_point` (a Unicode scalar value) encoded as 1 to 4 bytes.
void append_utf8(std::string& out, char32_t code_point);

// Whether `bytes` can be a byte after the first of a character.
inline bool is_utf8_continuation(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

bool is_valid_utf8(std::string_view bytes);

// A copy of `text` in which every maximal invalid subpart is replaced by one U+FFFD; valid
// sequences are kept as they are.
std::string repair_utf8(std::string_view text);

}  // namespace tw

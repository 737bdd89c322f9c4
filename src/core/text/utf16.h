#pragma once
// UTF-8 <-> UTF-16 conversion, the same on every platform.

#include <string>
#include <string_view>

namespace tw {

// Each unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8(std::u16string_view text);

// Each maximal invalid UTF-8 sequence becomes one U+FFFD.
std::u16string utf8_to_utf16(std::string_view text);

// How many units of `text` to hand on in one piece of at most `limit` units (at least 1) so that
// no surrogate pair is split between two pieces: `limit`, or one less where that would end
// between the two halves of a pair; the whole text when it is no longer.
std::size_t utf16_piece_length(std::u16string_view text, std::size_t limit);

}  // namespace tw

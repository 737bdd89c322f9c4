#pragma once
// Making text from outside valid UTF-8 before anything parses it.

#include <string>
#include <string_view>

namespace tw {

// A copy of `text` in which every maximal subpart of an ill-formed sequence (the Unicode
// standard's recommended practice) is replaced by one U+FFFD; valid sequences are kept as they
// are. "\x80\x80" gives two replacements, a truncated "\xE2\x96" one.
std::string repair_utf8(std::string_view text);

}  // namespace tw

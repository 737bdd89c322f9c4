#pragma once
// Where the speech library's result text has no blank between two tokens although the second
// began with a space: it joins the tokens, then drops each space that stands before punctuation
// or between two CJK characters. The classes are the library's (sherpa-onnx 1.13.4) as observed
// on its text: each code point of the CJK ranges, of the punctuation blocks and around every
// edge, and every 16th one elsewhere in the first 64K (every 256th above), after a space token.

#include <string_view>

namespace tw {

// Whether the library's text drops a space between `before` and `after` (UTF-8): when the first
// character of `after` is punctuation (ASCII punctuation; the CJK symbols and punctuation
// U+3000-303F; fullwidth and halfwidth punctuation U+FF01-FF0F, FF1A-FF20, FF3B-FF40,
// FF5B-FF65), or when the last character of `before` and the first of `after` are both CJK.
// Nothing is dropped next to an empty text.
bool library_drops_blank_between(std::string_view before, std::string_view after);

}  // namespace tw

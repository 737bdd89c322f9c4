#pragma once
// How much room text takes on screen, and how the words of a line are joined. Widths come from
// utf8proc (Unicode's East Asian Width and general categories): a wide character such as a Han
// ideograph or a kana takes two columns, a combining mark none, anything else one.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "core/subtitles/cue.h"

namespace tw::subtitles {

// The columns `text` takes; an ill-formed sequence counts as one column.
std::size_t display_width(std::string_view text);

// The length of `text` in characters (code points), as reading speed counts them.
std::size_t character_count(std::string_view text);

// Whether two neighbouring words are written without a blank between them: both touch at a
// wide character of a script written without blanks (Han, kana, their punctuation); Hangul,
// which is written with blanks, is not one.
bool joins_without_blank(std::string_view left, std::string_view right);

// The texts of `words` as one line: a blank between two words unless they join without one.
std::string join_words(std::span<const CueWord> words);

// The columns `right` adds to a line that ends with `left`, the blank included.
std::size_t added_width(std::string_view left, std::string_view right);

}  // namespace tw::subtitles

#pragma once
// The Unicode White_Space property, and trimming it from UTF-8 text.

#include <string_view>

namespace tw {

// U+0009..000D, 0020, 0085, 00A0, 1680, 2000..200A, 2028, 2029, 202F, 205F and 3000. Not the
// characters that only look blank, such as U+200B ZERO WIDTH SPACE or U+FEFF.
bool is_unicode_white_space(char32_t code_point);

// `text` without the white space at its start. Trimming stops at the first character that is
// not white space or not valid UTF-8.
std::string_view trim_leading_unicode_white_space(std::string_view text);

// `text` without the white space at its start and at its end (line ends included), with the
// same stop as above at either end.
std::string_view trim_unicode_white_space(std::string_view text);

}  // namespace tw

#pragma once
// The two number grammars of the command line, with their own error messages. The grammars are
// checked here character by character; only the final conversion is left to std::from_chars,
// which on its own would accept other forms.

#include <cstdint>
#include <string_view>

#include "core/error.h"

namespace tw {

// Decimal with optional sign, point, fraction and exponent, or inf, infinity and nan in any
// letter case with optional sign. Rounded to the nearest double; too large gives an infinity,
// too small a zero of the same sign.
Result<double> parse_float(std::string_view text);

// An optional single "+" and ASCII decimal digits, up to 2^64 - 1.
Result<std::uint64_t> parse_unsigned(std::string_view text);

}  // namespace tw

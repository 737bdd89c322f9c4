#pragma once
// The text of a JSON number in the records: the shortest digits that read back as the same
// 64-bit float, in plain notation for decimal exponents -5..15 ("0.00001", "12.5", "30.0") and
// in scientific notation otherwise ("1e-6", "1.5e-7", "1e+16"). Zero is "0.0" and negative zero
// "-0.0". A value that is not finite has no JSON number: it is written as null.

#include <string>

namespace tw {

void append_json_number(std::string& out, double value);

std::string json_number(double value);

}  // namespace tw

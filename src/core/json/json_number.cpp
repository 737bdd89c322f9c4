#include "core/json/json_number.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "core/platform/fail_fast.h"

namespace tw {
namespace {

constexpr int PLAIN_MIN_EXPONENT = -5;
constexpr int PLAIN_MAX_EXPONENT = 15;
// "d.dddddddddddddddde-308": 17 digits, the point, the exponent with its sign.
constexpr std::size_t SCIENTIFIC_TEXT_MAX = 32;

struct ShortestDigits {
  std::string digits;  // significant digits, no leading or trailing zero
  int exponent;        // the power of ten of the first digit
};

// std::to_chars without a precision gives the shortest round-trip form; in scientific format
// that is "d", "d.ddd" followed by "e+NN" or "e-NN".
ShortestDigits shortest_digits(double magnitude) {
  char text[SCIENTIFIC_TEXT_MAX];
  auto [end, status] =
      std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific);
  if (status != std::errc()) fail_fast("a finite number does not fit its text buffer");
  std::string_view form(text, static_cast<std::size_t>(end - text));
  std::size_t e = form.find('e');
  if (e == std::string_view::npos || e + 2 >= form.size()) fail_fast("unexpected to_chars form");

  ShortestDigits shortest;
  for (char c : form.substr(0, e)) {
    if (c != '.') shortest.digits += c;
  }
  int exponent = 0;
  for (char c : form.substr(e + 2)) exponent = exponent * 10 + (c - '0');
  shortest.exponent = form[e + 1] == '-' ? -exponent : exponent;
  return shortest;
}

void append_plain(std::string& out, const ShortestDigits& number) {
  const std::string& digits = number.digits;
  int p = number.exponent;
  if (p < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-p - 1), '0');
    out += digits;
    return;
  }
  auto integer_digits = static_cast<std::size_t>(p) + 1;
  if (digits.size() > integer_digits) {
    out.append(digits, 0, integer_digits);
    out += '.';
    out.append(digits, integer_digits);
  } else {
    out += digits;
    out.append(integer_digits - digits.size(), '0');
    out += ".0";
  }
}

void append_scientific(std::string& out, const ShortestDigits& number) {
  out += number.digits[0];
  if (number.digits.size() > 1) {
    out += '.';
    out.append(number.digits, 1);
  }
  out += 'e';
  out += number.exponent < 0 ? '-' : '+';
  out += std::to_string(std::abs(number.exponent));
}

}  // namespace

void append_json_number(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  if (std::signbit(value)) out += '-';
  double magnitude = std::fabs(value);
  if (magnitude == 0.0) {
    out += "0.0";
    return;
  }
  ShortestDigits number = shortest_digits(magnitude);
  if (number.exponent >= PLAIN_MIN_EXPONENT && number.exponent <= PLAIN_MAX_EXPONENT) {
    append_plain(out, number);
  } else {
    append_scientific(out, number);
  }
}

std::string json_number(double value) {
  std::string out;
  append_json_number(out, value);
  return out;
}

}  // namespace tw

#include "core/number_syntax.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "core/platform/fail_fast.h"

namespace tw {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool equals_ignoring_case(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

// The parts of a decimal literal (without its sign) that decide its order of magnitude.
struct DecimalShape {
  std::string_view integer;
  std::string_view fraction;
  std::int64_t exponent = 0;  // saturated far beyond any double's range
};

// Fills `shape` if `body` is digits, an optional point and fraction (not both sides empty) and an
// optional exponent, with nothing before or after.
bool read_decimal(std::string_view body, DecimalShape& shape) {
  std::size_t i = 0;
  while (i < body.size() && is_digit(body[i])) ++i;
  shape.integer = body.substr(0, i);
  if (i < body.size() && body[i] == '.') {
    std::size_t start = ++i;
    while (i < body.size() && is_digit(body[i])) ++i;
    shape.fraction = body.substr(start, i - start);
  }
  if (shape.integer.empty() && shape.fraction.empty()) return false;
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) negative = body[i++] == '-';
    if (i == body.size() || !is_digit(body[i])) return false;
    constexpr std::int64_t EXPONENT_LIMIT = 1'000'000'000'000;
    for (; i < body.size() && is_digit(body[i]); ++i) {
      if (shape.exponent < EXPONENT_LIMIT) shape.exponent = shape.exponent * 10 + (body[i] - '0');
    }
    if (negative) shape.exponent = -shape.exponent;
  }
  return i == body.size();
}

// The decimal exponent of the literal's leading significant digit, plus one: positive for values
// of at least 1, zero or negative below. Only called for literals with a non-zero digit.
std::int64_t decimal_order(const DecimalShape& shape) {
  std::size_t integer_zeros = shape.integer.find_first_not_of('0');
  if (integer_zeros != std::string_view::npos) {
    return static_cast<std::int64_t>(shape.integer.size() - integer_zeros) + shape.exponent;
  }
  std::size_t fraction_zeros = shape.fraction.find_first_not_of('0');
  return shape.exponent - static_cast<std::int64_t>(fraction_zeros);
}

}  // namespace

Result<double> parse_float(std::string_view text) {
  if (text.empty()) return fail("cannot parse float from empty string");
  bool negative = text[0] == '-';
  std::string_view body = text;
  if (text[0] == '+' || text[0] == '-') body.remove_prefix(1);

  if (equals_ignoring_case(body, "inf") || equals_ignoring_case(body, "infinity")) {
    double infinity = std::numeric_limits<double>::infinity();
    return negative ? -infinity : infinity;
  }
  if (equals_ignoring_case(body, "nan")) {
    return std::copysign(std::numeric_limits<double>::quiet_NaN(), negative ? -1.0 : 1.0);
  }

  DecimalShape shape;
  if (!read_decimal(body, shape)) return fail("invalid float literal");

  // from_chars takes a leading "-" but not a "+".
  std::string_view digits = text[0] == '+' ? body : text;
  double value = 0.0;
  auto [end, code] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                     std::chars_format::general);
  if (end != digits.data() + digits.size() || code == std::errc::invalid_argument) {
    fail_fast("float literal accepted by the grammar but not by from_chars");
  }
  if (code == std::errc::result_out_of_range) {
    // Out of range either way, without a value: the magnitude says which way.
    value = decimal_order(shape) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    if (negative) value = -value;
  }
  return value;
}

Result<std::uint64_t> parse_unsigned(std::string_view text) {
  if (text.empty()) return fail("cannot parse integer from empty string");
  std::string_view digits = text;
  if (text[0] == '+') digits.remove_prefix(1);
  if (digits.empty()) return fail("invalid digit found in string");

  // The digits are taken left to right, so whichever comes first, a value too large or a
  // character that is no digit, is the one reported.
  std::size_t leading_digits = 0;
  while (leading_digits < digits.size() && is_digit(digits[leading_digits])) ++leading_digits;
  std::uint64_t value = 0;
  if (leading_digits > 0) {
    auto [end, code] = std::from_chars(digits.data(), digits.data() + leading_digits, value);
    if (code == std::errc::result_out_of_range) {
      return fail("number too large to fit in target type");
    }
    if (end != digits.data() + leading_digits || code != std::errc()) {
      fail_fast("decimal digits not accepted by from_chars");
    }
  }
  if (leading_digits != digits.size()) return fail("invalid digit found in string");
  return value;
}

}  // namespace tw

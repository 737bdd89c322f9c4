#include "core/json/json_number.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace tw {
namespace {

TEST(JsonNumber, ZeroAndSign) {
  EXPECT_EQ(json_number(0.0), "0.0");
  EXPECT_EQ(json_number(-0.0), "-0.0");
  EXPECT_EQ(json_number(-12.5), "-12.5");
  EXPECT_EQ(json_number(-1e-6), "-1e-6");
}

TEST(JsonNumber, PlainBetweenExponentsMinusFiveAndFifteen) {
  EXPECT_EQ(json_number(30.0), "30.0");
  EXPECT_EQ(json_number(1.0), "1.0");
  EXPECT_EQ(json_number(1500.0), "1500.0");
  EXPECT_EQ(json_number(0.5), "0.5");
  EXPECT_EQ(json_number(0.0625), "0.0625");
  EXPECT_EQ(json_number(0.1), "0.1");
  EXPECT_EQ(json_number(12.5), "12.5");
  EXPECT_EQ(json_number(3.14159), "3.14159");
  EXPECT_EQ(json_number(1e-5), "0.00001");
  EXPECT_EQ(json_number(1.5e-5), "0.000015");
  EXPECT_EQ(json_number(1e15), "1000000000000000.0");
  EXPECT_EQ(json_number(9999999999999998.0), "9999999999999998.0");
  EXPECT_EQ(json_number(1.0 / 3.0), "0.3333333333333333");
}

TEST(JsonNumber, ScientificOutsideThatRange) {
  EXPECT_EQ(json_number(1e-6), "1e-6");
  EXPECT_EQ(json_number(1.5e-7), "1.5e-7");
  EXPECT_EQ(json_number(9.99e-6), "9.99e-6");
  EXPECT_EQ(json_number(1e16), "1e+16");
  EXPECT_EQ(json_number(2.5e16), "2.5e+16");
  EXPECT_EQ(json_number(123456789012345678.0), "1.2345678901234568e+17");
  EXPECT_EQ(json_number(1e100), "1e+100");
  EXPECT_EQ(json_number(std::numeric_limits<double>::max()), "1.7976931348623157e+308");
  EXPECT_EQ(json_number(std::numeric_limits<double>::denorm_min()), "5e-324");
  EXPECT_EQ(json_number(std::numeric_limits<double>::min()), "2.2250738585072014e-308");
}

TEST(JsonNumber, AllDigitsOfTheDoubleNeverRoundedForDisplay) {
  // A word time: 10 s of piece offset plus a 32-bit timestamp.
  EXPECT_EQ(json_number(10.0 + static_cast<double>(0.4f)), "10.400000005960464");
  EXPECT_EQ(json_number(10.0), "10.0");
  EXPECT_EQ(json_number(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(json_number(20.01), "20.01");
}

TEST(JsonNumber, NotFiniteIsNull) {
  EXPECT_EQ(json_number(std::numeric_limits<double>::quiet_NaN()), "null");
  EXPECT_EQ(json_number(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(json_number(-std::numeric_limits<double>::infinity()), "null");
}

TEST(JsonNumber, AppendsToWhatIsThere) {
  std::string out = "[";
  append_json_number(out, 2.0);
  EXPECT_EQ(out, "[2.0");
}

// Any finite double reads back bit for bit, and the text keeps to the notation rules.
TEST(JsonNumber, RandomDoublesRoundTrip) {
  std::mt19937_64 random(20240601);
  std::uniform_real_distribution<double> seconds(0.0, 36000.0);
  for (int i = 0; i < 200000; ++i) {
    double value;
    if (i % 2 == 0) {
      do {
        value = std::bit_cast<double>(random());
      } while (!std::isfinite(value));
    } else {
      value = seconds(random);
    }
    std::string text = json_number(value);
    double back = 0;
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), back);
    ASSERT_EQ(status, std::errc()) << text;
    ASSERT_EQ(end, text.data() + text.size()) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(value)) << text;

    double magnitude = std::fabs(value);
    bool plain = magnitude == 0.0 || (magnitude >= 1e-5 && magnitude < 1e16);
    EXPECT_EQ(text.find('e') == std::string::npos, plain) << text;
    if (plain) {
      EXPECT_NE(text.find('.'), std::string::npos) << text;
    }
  }
}

}  // namespace
}  // namespace tw

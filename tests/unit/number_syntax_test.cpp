#include "core/number_syntax.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace tw {
namespace {

constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double DENORM_MIN = std::numeric_limits<double>::denorm_min();
constexpr double DOUBLE_MAX = std::numeric_limits<double>::max();

struct FloatCase {
  std::string text;
  double expected;
};

TEST(ParseFloat, AcceptsDecimalForms) {
  const FloatCase cases[] = {
      {"0", 0.0},      {"1", 1.0},       {"+8", 8.0},       {"-2.5", -2.5},
      {".5", 0.5},     {"5.", 5.0},      {"-.5", -0.5},     {"1e3", 1000.0},
      {"1E3", 1000.0}, {"1e+3", 1000.0}, {"1e-3", 0.001},   {"-.5e1", -5.0},
      {"5.e-1", 0.5},  {"007.50", 7.5},  {"0e999999", 0.0}, {"1e0000000000000000000000003", 1000.0},
  };
  for (const FloatCase& c : cases) {
    Result<double> value = parse_float(c.text);
    ASSERT_TRUE(value) << c.text << ": " << value.error().message();
    EXPECT_EQ(*value, c.expected) << c.text;
  }
}

TEST(ParseFloat, RoundsToNearestDouble) {
  const FloatCase cases[] = {
      {"0.1", 0.1},
      {"0.30000000000000001", 0.3},
      {"9007199254740993", 9007199254740992.0},  // a tie goes to the even neighbour
      {"9007199254740995", 9007199254740996.0},
      {"1.7976931348623158e308", DOUBLE_MAX},  // below the midpoint to 2^1024
      {"4.9e-324", DENORM_MIN},
      {"3e-324", DENORM_MIN},
      {"2.4703282292062328e-324", DENORM_MIN},  // just above half the smallest denormal
      {"2.2250738585072011e-308", 2.2250738585072011e-308},
      {"0.000000000000000000000000000000000000000000000000000000000000000000001e-250", 1e-319},
  };
  for (const FloatCase& c : cases) {
    Result<double> value = parse_float(c.text);
    ASSERT_TRUE(value) << c.text;
    EXPECT_EQ(*value, c.expected) << c.text;
  }
}

TEST(ParseFloat, OutOfRangeBecomesInfinityOrZeroWithItsSign) {
  const FloatCase cases[] = {
      {"1e400", INF},
      {"-1e400", -INF},
      {"1.7976931348623159e308", INF},
      {"1e99999999999999999999999", INF},
      {"1000000000000000000000000000000000000e-99999999999999999999999", 0.0},
      {"0.0000001e308", 1e301},
      {"2e-324", 0.0},
      {"2.4703282292062327e-324", 0.0},
      {"1e-400", 0.0},
      {"-1e-400", -0.0},
      {".00000000001e-99999999999999999999999", 0.0},
      {"0.0001e-99999", 0.0},
  };
  for (const FloatCase& c : cases) {
    Result<double> value = parse_float(c.text);
    ASSERT_TRUE(value) << c.text;
    EXPECT_EQ(*value, c.expected) << c.text;
    EXPECT_EQ(std::signbit(*value), std::signbit(c.expected)) << c.text;
  }
}

TEST(ParseFloat, AcceptsInfinityAndNanInAnyCase) {
  const FloatCase infinities[] = {{"inf", INF},      {"INF", INF},      {"+Inf", INF},
                                  {"-inf", -INF},    {"infinity", INF}, {"-iNfInItY", -INF},
                                  {"+INFINITY", INF}};
  for (const FloatCase& c : infinities) {
    Result<double> value = parse_float(c.text);
    ASSERT_TRUE(value) << c.text;
    EXPECT_EQ(*value, c.expected) << c.text;
  }
  for (const char* text : {"nan", "NaN", "NAN", "+nan", "-nAn"}) {
    Result<double> value = parse_float(text);
    ASSERT_TRUE(value) << text;
    EXPECT_TRUE(std::isnan(*value)) << text;
  }
}

TEST(ParseFloat, RejectsEverythingElse) {
  Result<double> empty = parse_float("");
  ASSERT_FALSE(empty);
  EXPECT_EQ(empty.error().message(), "cannot parse float from empty string");
  EXPECT_EQ(empty.error().cause(), nullptr);

  for (const char* text :
       {"+",     "-",    ".",      "+.",  "-.",    "e5",      ".e5",   "1e",      "1e+",
        "1e-",   "1,5",  " 1",     "1 ",  "\t1",   "0x10",    "0x1p3", "1_000",   "1..2",
        "1.2.3", "++1",  "+-1",    "--1", "1e5.5", "1e+-5",   "in",    "infinit", "infinityy",
        "inf5",  "nanx", "nan(1)", "n",   "1f",    "\xd9\xa1"}) {
    Result<double> value = parse_float(text);
    ASSERT_FALSE(value) << text;
    EXPECT_EQ(value.error().message(), "invalid float literal") << text;
  }
  Result<double> embedded_nul = parse_float(std::string("1\0", 2));
  ASSERT_FALSE(embedded_nul);
  EXPECT_EQ(embedded_nul.error().message(), "invalid float literal");
}

TEST(ParseUnsigned, AcceptsDigitsWithOptionalPlus) {
  struct Case {
    std::string text;
    std::uint64_t expected;
  };
  const Case cases[] = {
      {"0", 0},
      {"1", 1},
      {"+8", 8},
      {"007", 7},
      {"18446744073709551615", std::numeric_limits<std::uint64_t>::max()},
      {"+00018446744073709551615", std::numeric_limits<std::uint64_t>::max()},
  };
  for (const Case& c : cases) {
    Result<std::uint64_t> value = parse_unsigned(c.text);
    ASSERT_TRUE(value) << c.text;
    EXPECT_EQ(*value, c.expected) << c.text;
  }
}

TEST(ParseUnsigned, ReportsTheFirstProblemFromTheLeft) {
  struct Case {
    std::string text;
    std::string message;
  };
  const std::string invalid = "invalid digit found in string";
  const std::string too_large = "number too large to fit in target type";
  const Case cases[] = {
      {"", "cannot parse integer from empty string"},
      {"+", invalid},
      {"-", invalid},
      {"-1", invalid},
      {"-0", invalid},
      {"++1", invalid},
      {"+-1", invalid},
      {" 1", invalid},
      {"1 ", invalid},
      {"1.0", invalid},
      {"1e3", invalid},
      {"0x10", invalid},
      {"x", invalid},
      {"1_000", invalid},
      {"\xd9\xa1", invalid},
      {"18446744073709551616", too_large},
      {"99999999999999999999999", too_large},
      {"18446744073709551616x", too_large},
      {"1x99999999999999999999999", invalid},
  };
  for (const Case& c : cases) {
    Result<std::uint64_t> value = parse_unsigned(c.text);
    ASSERT_FALSE(value) << c.text;
    EXPECT_EQ(value.error().message(), c.message) << c.text;
    EXPECT_EQ(value.error().cause(), nullptr);
  }
}

}  // namespace
}  // namespace tw

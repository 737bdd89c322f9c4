#include "worker/optional_value_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

TEST(OptionalValueText, NoneAndSome) {
  EXPECT_EQ(optional_value_text(std::nullopt), "None");
  EXPECT_EQ(optional_value_text("gpu"), "Some(\"gpu\")");
  EXPECT_EQ(optional_value_text(""), "Some(\"\")");
}

TEST(OptionalValueText, EscapesQuotesBackslashesAndControls) {
  struct Case {
    std::string value;
    std::string expected;
  };
  const Case cases[] = {
      {"a\\b", R"(Some("a\\b"))"},
      {"say \"hi\"", R"(Some("say \"hi\""))"},
      {"it's", R"(Some("it's"))"},  // single quotes stay
      {"\t\r\n", R"(Some("\t\r\n"))"},
      {std::string("a\0b", 3), R"(Some("a\0b"))"},
      {"\x1b[1m", R"(Some("\u{1b}[1m"))"},
      {"\x7f", R"(Some("\u{7f}"))"},
      {"\xc2\x85", R"(Some("\u{85}"))"},  // NEL, a C1 control
      {"\v\f\x01", R"(Some("\u{b}\u{c}\u{1}"))"},
  };
  for (const Case& c : cases) EXPECT_EQ(optional_value_text(c.value), c.expected);
}

TEST(OptionalValueText, EscapesInvisibleCodePointsOutsideAscii) {
  struct Case {
    std::string value;
    std::string expected;
  };
  const Case cases[] = {
      {"a b", R"(Some("a b"))"},  // the plain space stays
      {"a\xc2\xa0"
       "b",
       R"(Some("a\u{a0}b"))"},                                      // no-break space (separator)
      {"\xe3\x80\x80", R"(Some("\u{3000}"))"},                      // ideographic space
      {"\xe2\x80\xa8\xe2\x80\xa9", R"(Some("\u{2028}\u{2029}"))"},  // line and paragraph separators
      {"\xc2\xad", R"(Some("\u{ad}"))"},                            // soft hyphen (format)
      {"\xe2\x80\x8b", R"(Some("\u{200b}"))"},                      // zero-width space (format)
      {"\xef\xbb\xbf", R"(Some("\u{feff}"))"},                      // byte order mark (format)
      {"\xee\x80\x80", R"(Some("\u{e000}"))"},                      // private use
      {"\xcd\xb8", R"(Some("\u{378}"))"},                           // unassigned
      {"\xef\xbf\xbf", R"(Some("\u{ffff}"))"},                      // noncharacter
      {"\xf4\x8f\xbf\xbf", R"(Some("\u{10ffff}"))"},
      {"\xf3\xa0\x80\x81", R"(Some("\u{e0001}"))"},  // language tag (format)
  };
  for (const Case& c : cases) EXPECT_EQ(optional_value_text(c.value), c.expected);
}

TEST(OptionalValueText, KeepsPrintableTextAsItIs) {
  // Letters, symbols and combining marks of any script are written unchanged.
  for (const std::string value :
       {"CUDA", "caf\xc3\xa9", "\xe4\xb8\xad\xe6\x96\x87", "\xf0\x9f\x98\x80", "e\xcc\x81",
        "\xd0\x9f\xd1\x80\xd0\xb8", "~!@#$%^&*()_+{}|:<>?`-=[];,./"}) {
    EXPECT_EQ(optional_value_text(value), "Some(\"" + value + "\")");
  }
}

TEST(OptionalValueText, ShowsBytesThatAreNotUtf8AsReplacementCharacters) {
  EXPECT_EQ(optional_value_text("a\xff"
                                "b\xe4\xb8"),
            "Some(\"a\xef\xbf\xbd"
            "b\xef\xbf\xbd\")");
}

}  // namespace
}  // namespace tw

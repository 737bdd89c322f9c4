#include "core/text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

TEST(DecodeUtf8, ReadsOneCharacterOfEachLength) {
  struct Case {
    std::string input;
    char32_t code_point;
    std::size_t length;
  };
  const Case cases[] = {
      {std::string(1, '\0'), 0, 1},
      {"az", U'a', 1},
      {"\xC2\x80", 0x80, 2},
      {"\xDF\xBFz", 0x7FF, 2},
      {"\xE0\xA0\x80", 0x800, 3},
      {"\xED\x9F\xBF", 0xD7FF, 3},  // the last before the surrogates
      {"\xEE\x80\x80", 0xE000, 3},  // the first after them
      {"\xEF\xBF\xBD", 0xFFFD, 3},
      {"\xF0\x90\x80\x80", 0x10000, 4},
      {"\xF4\x8F\xBF\xBF\x80", 0x10FFFF, 4},
  };
  for (const Case& c : cases) {
    const DecodedCodePoint decoded = decode_utf8(c.input);
    EXPECT_EQ(decoded.code_point, c.code_point) << testing::PrintToString(c.input);
    EXPECT_EQ(decoded.length, c.length) << testing::PrintToString(c.input);
  }
}

TEST(DecodeUtf8, TakesTheMaximalSubpartOfAnIllFormedSequence) {
  struct Case {
    std::string input;
    std::size_t length;
  };
  const Case cases[] = {
      {"\x80", 1},              // a continuation byte opens nothing
      {"\xC1\xBF", 1},          // C0 and C1 open nothing
      {"\xF5\x80\x80\x80", 1},  // nor does F5 or above
      {"\xE0\x9F\xBF", 1},      // E0 needs A0..BF next: an overlong form
      {"\xED\xA0\x80", 1},      // ED needs 80..9F next: a surrogate
      {"\xF4\x90\x80\x80", 1},  // F4 needs 80..8F next: above U+10FFFF
      {"\xE4\xB8", 2},          // cut short at the end
      {"\xF0\x9F\x98z", 3},     // cut short before another character
      {"\xF0\x9F\xE4\xB8\xAD", 2},
      {"", 0},  // no bytes, no character
  };
  for (const Case& c : cases) {
    const DecodedCodePoint decoded = decode_utf8(c.input);
    EXPECT_EQ(decoded.code_point, INVALID_CODE_POINT) << testing::PrintToString(c.input);
    EXPECT_EQ(decoded.length, c.length) << testing::PrintToString(c.input);
  }
}

TEST(AppendUtf8, EncodesEachLengthAtItsBounds) {
  std::string out;
  for (char32_t code_point : {0x0, 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF}) {
    append_utf8(out, code_point);
  }
  EXPECT_EQ(out,
            std::string(1, '\0') +
                "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
}

TEST(Utf8, ValidAndInvalidForms) {
  EXPECT_TRUE(is_valid_utf8(""));
  EXPECT_TRUE(is_valid_utf8("plain, \xC3\xA9, \xE9\x9F\xB3, \xF0\x9F\x8E\xB5"));
  EXPECT_TRUE(is_valid_utf8("\xF4\x8F\xBF\xBF"));   // U+10FFFF
  EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(is_valid_utf8("\xE0\x80\xAF"));      // overlong
  EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(is_valid_utf8("\xE9\x9F"));          // cut short
  EXPECT_FALSE(is_valid_utf8("a\x80z"));            // stray continuation
  EXPECT_FALSE(is_valid_utf8("latin-1 \xE9t\xE9"));
}

TEST(RepairUtf8, KeepsValidText) {
  const std::string text = "a \xC3\xA9 \xE2\x96\x81x \xF0\x9F\x98\x80 \xEF\xBF\xBD";
  EXPECT_EQ(repair_utf8(text), text);
  EXPECT_EQ(repair_utf8(""), "");
}

TEST(RepairUtf8, ReplacesEachMaximalSubpartOnce) {
  EXPECT_EQ(repair_utf8("a\x80"
                        "b"),
            "a" + R + "b");                      // lone continuation byte
  EXPECT_EQ(repair_utf8("\x80\x80"), R + R);     // each stray byte is its own subpart
  EXPECT_EQ(repair_utf8("\xE2\x96"), R);         // truncated at the end
  EXPECT_EQ(repair_utf8("\xE2\x96z"), R + "z");  // truncated before ASCII
  EXPECT_EQ(repair_utf8("\xF0\x9F\x98"), R);     // three of four bytes
  EXPECT_EQ(repair_utf8("\xE2\x96\xE2\x96\x81"), R + "\xE2\x96\x81");
}

TEST(RepairUtf8, RefusesOverlongsSurrogatesAndTooLargeCodePoints) {
  EXPECT_EQ(repair_utf8("\xC0\xAF"), R + R);                  // C0 can open nothing
  EXPECT_EQ(repair_utf8("\xE0\x80\xAF"), R + R + R);          // E0 needs A0..BF next
  EXPECT_EQ(repair_utf8("\xED\xA0\x80"), R + R + R);          // a UTF-16 surrogate
  EXPECT_EQ(repair_utf8("\xF4\x90\x80\x80"), R + R + R + R);  // above U+10FFFF
  EXPECT_EQ(repair_utf8("\xF5\xFF"), R + R);
  EXPECT_EQ(repair_utf8("\xF0\x80"), R + R);
}

}  // namespace
}  // namespace tw

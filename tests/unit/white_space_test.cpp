#include "core/text/white_space.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

TEST(TrimWhiteSpace, RemovesEveryUnicodeWhiteSpaceAtBothEnds) {
  const std::string all_spaces =
      "\t\n\v\f\r \xC2\x85\xC2\xA0\xE1\x9A\x80\xE2\x80\x80\xE2\x80\x81\xE2\x80\x82\xE2\x80\x83"
      "\xE2\x80\x84\xE2\x80\x85\xE2\x80\x86\xE2\x80\x87\xE2\x80\x88\xE2\x80\x89\xE2\x80\x8A"
      "\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\x9F\xE3\x80\x80";
  EXPECT_EQ(trim_unicode_white_space(all_spaces + "a b\n\nc" + all_spaces), "a b\n\nc");
  EXPECT_EQ(trim_unicode_white_space(all_spaces), "");
  EXPECT_EQ(trim_unicode_white_space("\n\n"), "");
  EXPECT_EQ(trim_unicode_white_space(""), "");
}

TEST(TrimWhiteSpace, KeepsCharactersThatOnlyLookBlank) {
  // U+200B ZERO WIDTH SPACE, U+FEFF and U+180E are not White_Space; U+0085's bytes inside
  // another character are not a space either.
  EXPECT_EQ(trim_unicode_white_space("\xE2\x80\x8Bx\xEF\xBB\xBF"), "\xE2\x80\x8Bx\xEF\xBB\xBF");
  EXPECT_EQ(trim_unicode_white_space("x\xE1\xA0\x8E"), "x\xE1\xA0\x8E");
  EXPECT_EQ(trim_unicode_white_space("\xC2\x84x"), "\xC2\x84x");
}

TEST(TrimWhiteSpace, StopsAtBytesThatAreNotUtf8) {
  // A space followed by a stray byte, a space's last bytes alone, a space cut short and an
  // overlong space are not white space.
  EXPECT_EQ(trim_unicode_white_space("x\xE3\x80\x80\x80 "), "x\xE3\x80\x80\x80");
  EXPECT_EQ(trim_unicode_white_space("\x80\x80\x80\xA0 "), "\x80\x80\x80\xA0");
  EXPECT_EQ(trim_unicode_white_space("\xE3\x80 x \xE3\x80"), "\xE3\x80 x \xE3\x80");
  EXPECT_EQ(trim_unicode_white_space("\xC0\xA0x\xC0\xA0"), "\xC0\xA0x\xC0\xA0");
}

TEST(TrimLeadingWhiteSpace, LeavesTheEndAlone) {
  EXPECT_EQ(trim_leading_unicode_white_space("\xE3\x80\x80\t a \xC2\xA0"), "a \xC2\xA0");
  EXPECT_EQ(trim_leading_unicode_white_space("\xC2\x85\n"), "");
  EXPECT_EQ(trim_leading_unicode_white_space("\xFF "), "\xFF ");
}

TEST(IsUnicodeWhiteSpace, StopsAtTheEdgesOfEachRange) {
  for (char32_t c :
       {0x08,   0x0E,   0x1F,   0x21,   0x84,   0x86,   0x9F,   0xA1,   0x167F, 0x1681, 0x180E,
        0x1FFF, 0x200B, 0x2027, 0x202A, 0x202E, 0x2030, 0x205E, 0x2060, 0x2FFF, 0x3001, 0xFEFF}) {
    EXPECT_FALSE(is_unicode_white_space(c)) << std::hex << static_cast<unsigned>(c);
  }
  for (char32_t c : {0x09, 0x0D, 0x20, 0x85, 0xA0, 0x1680, 0x2000, 0x200A, 0x2028, 0x2029, 0x202F,
                     0x205F, 0x3000}) {
    EXPECT_TRUE(is_unicode_white_space(c)) << std::hex << static_cast<unsigned>(c);
  }
}

}  // namespace
}  // namespace tw

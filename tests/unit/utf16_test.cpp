#include "core/text/utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

TEST(Utf16ToUtf8, EncodesEveryLength) {
  EXPECT_EQ(utf16_to_utf8(u""), "");
  EXPECT_EQ(utf16_to_utf8(u"plain"), "plain");
  EXPECT_EQ(utf16_to_utf8(u"caf\u00e9"), "caf\xc3\xa9");
  EXPECT_EQ(utf16_to_utf8(u"\u041f\u0440\u0438\u0432\u0435\u0442"),
            "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82");
  EXPECT_EQ(utf16_to_utf8(u"\u4e2d\uffff"), "\xe4\xb8\xad\xef\xbf\xbf");
  EXPECT_EQ(utf16_to_utf8(u"\U0001F600\U0010FFFF"), "\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf");
  EXPECT_EQ(utf16_to_utf8(std::u16string(1, u'\0')), std::string(1, '\0'));
}

TEST(Utf16ToUtf8, ReplacesEachUnpairedSurrogate) {
  const std::string fffd = "\xef\xbf\xbd";
  struct Case {
    std::u16string input;
    std::string expected;
  };
  const Case cases[] = {
      {{u'a', 0xD83D}, "a" + fffd},                           // high at the end
      {{0xDE00, u'b'}, fffd + "b"},                           // low alone
      {{0xDE00, 0xD83D}, fffd + fffd},                        // low before high
      {{0xD83D, 0xD83D, 0xDE00}, fffd + "\xf0\x9f\x98\x80"},  // high, then a pair
      {{0xD83D, u'x', 0xDE00}, fffd + "x" + fffd},            // split by a character
  };
  for (const Case& c : cases) EXPECT_EQ(utf16_to_utf8(c.input), c.expected);
}

TEST(Utf8ToUtf16, DecodesEveryLength) {
  EXPECT_EQ(utf8_to_utf16(""), u"");
  EXPECT_EQ(utf8_to_utf16("caf\xc3\xa9 \xe4\xb8\xad"), u"caf\u00e9 \u4e2d");
  EXPECT_EQ(utf8_to_utf16("\xf0\x9f\x98\x80"), u"\U0001F600");
  EXPECT_EQ(utf8_to_utf16("\xf4\x8f\xbf\xbf"), u"\U0010FFFF");
}

TEST(Utf8ToUtf16, ReplacesEachMaximalInvalidSubpart) {
  struct Case {
    std::string input;
    std::u16string expected;
  };
  const Case cases[] = {
      // The example the Unicode standard gives for maximal subparts.
      {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
       u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong, lead never valid
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},  // overlong three-byte form
      {"\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xF5\xFF", u"\uFFFD\uFFFD"},
      {"x\xE4\xB8", u"x\uFFFD"},                  // truncated at the end
      {"\xF0\x9F\x98x", u"\uFFFDx"},              // truncated before a character
      {"\xE4\xB8\xE4\xB8\xAD", u"\uFFFD\u4e2d"},  // truncated before a new lead
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8_to_utf16(c.input), c.expected) << testing::PrintToString(c.input);
  }
}

TEST(Utf16PieceLength, NeverEndsBetweenTheHalvesOfAPair) {
  const std::u16string text = u"ab\U0001F600c";  // a, b, high, low, c
  EXPECT_EQ(utf16_piece_length(text, 8), 5u);
  EXPECT_EQ(utf16_piece_length(text, 5), 5u);
  EXPECT_EQ(utf16_piece_length(text, 4), 4u);
  EXPECT_EQ(utf16_piece_length(text, 3), 2u);  // the pair goes whole into the next piece
  EXPECT_EQ(utf16_piece_length(text, 2), 2u);
  EXPECT_EQ(utf16_piece_length(text.substr(2), 1), 1u);  // no room for the pair: split it
  EXPECT_EQ(utf16_piece_length(std::u16string{0xD83D, 0xD83D, u'x'}, 1), 1u);  // unpaired
}

TEST(Text, EveryScalarValueRoundTrips) {
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::u16string utf16;
    if (cp < 0x10000) {
      utf16 = std::u16string(1, static_cast<char16_t>(cp));
    } else {
      utf16 = {static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)),
               static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF))};
    }
    std::string utf8 = utf16_to_utf8(utf16);
    ASSERT_EQ(utf8.size(), cp < 0x80      ? 1u
                           : cp < 0x800   ? 2u
                           : cp < 0x10000 ? 3u
                                          : 4u)
        << static_cast<unsigned>(cp);
    ASSERT_EQ(utf8_to_utf16(utf8), utf16) << static_cast<unsigned>(cp);
  }
}

}  // namespace
}  // namespace tw

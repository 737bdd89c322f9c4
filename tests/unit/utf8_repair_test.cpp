#include "core/asr/utf8_repair.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

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

#include "core/platform/unicode_lower.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/platform/unicode_lower_table.h"

namespace tw {
namespace {

TEST(UnicodeLower, AsciiAndPathsOfTheWindowsDirectory) {
  EXPECT_EQ(unicode_lower("C:\\WINDOWS\\System32\\ONNXRUNTIME.DLL"),
            "c:\\windows\\system32\\onnxruntime.dll");
  EXPECT_EQ(unicode_lower("already lower 123 /-_:"), "already lower 123 /-_:");
  EXPECT_EQ(unicode_lower(""), "");
}

TEST(UnicodeLower, BeyondAToZ) {
  EXPECT_EQ(unicode_lower("ÀÉÎÕÜ Ÿ"), "àéîõü ÿ");
  EXPECT_EQ(unicode_lower("C:\\ПРОГРАММЫ\\Ёж"), "c:\\программы\\ёж");
  EXPECT_EQ(unicode_lower("\u212A\u2126"), "k\u03C9");       // Kelvin and Ohm signs
  EXPECT_EQ(unicode_lower("\u01C5\u01C4"), "\u01C6\u01C6");  // title case and capital DŽ
  EXPECT_EQ(unicode_lower("\U00010400\U0001E900"), "\U00010428\U0001E922");  // four-byte forms
  EXPECT_EQ(unicode_lower("\u1E9E"), "\u00DF");                              // capital sharp s
}

TEST(UnicodeLower, UnconditionalSpecialCasing) {
  // U+0130 becomes two code points, so the text grows by a byte.
  EXPECT_EQ(unicode_lower("\u0130STANBUL"), "i\u0307stanbul");
  // Conditional rules for Turkish and Lithuanian are not applied: I stays i.
  EXPECT_EQ(unicode_lower("I\u0307"), "i\u0307");
}

TEST(UnicodeLower, FinalSigmaAtTheEndOfAWordOnly) {
  EXPECT_EQ(unicode_lower("ΟΔΟΣ"), "οδος");
  EXPECT_EQ(unicode_lower("ΣΑΣ ΣΑΣ"), "σας σας");
  EXPECT_EQ(unicode_lower("Σ"), "σ");  // no cased letter before it
  EXPECT_EQ(unicode_lower(" Σ "), " σ ");
  EXPECT_EQ(unicode_lower("AΣb"), "aσb");  // a cased letter after it
  EXPECT_EQ(unicode_lower("AΣ1"), "aς1");  // a digit is neither cased nor ignorable
  // Case-ignorable code points are skipped on both sides: the apostrophe, a combining accent.
  EXPECT_EQ(unicode_lower("A'Σ"), "a'ς");
  EXPECT_EQ(unicode_lower("AΣ\u0301"), "aς\u0301");
  EXPECT_EQ(unicode_lower("AΣ'B"), "aσ'b");
}

TEST(UnicodeLower, InvalidUtf8BytesAreCopiedUnchanged) {
  EXPECT_EQ(unicode_lower("A\xFF"
                          "B"),
            "a\xFF"
            "b");
  EXPECT_EQ(unicode_lower("\xC0\x81Z"), "\xC0\x81z");          // overlong form
  EXPECT_EQ(unicode_lower("\xED\xA0\x80Q"), "\xED\xA0\x80q");  // encoded surrogate
  EXPECT_EQ(unicode_lower("\xD0"), "\xD0");                    // truncated sequence
  EXPECT_EQ(unicode_lower("Σ\xFF"), "σ\xFF");
}

TEST(UnicodeLowerTable, SortedForBinarySearch) {
  namespace table = unicode_lower_table;
  auto simple = table::simple_mappings();
  EXPECT_GT(simple.size(), 1000u);
  EXPECT_TRUE(std::is_sorted(simple.begin(), simple.end(),
                             [](auto& a, auto& b) { return a.from < b.from; }));
  auto full = table::full_mappings();
  EXPECT_TRUE(
      std::is_sorted(full.begin(), full.end(), [](auto& a, auto& b) { return a.from < b.from; }));
  for (auto ranges : {table::cased_ranges(), table::case_ignorable_ranges()}) {
    ASSERT_FALSE(ranges.empty());
    for (std::size_t i = 0; i < ranges.size(); ++i) {
      EXPECT_LE(ranges[i].first, ranges[i].last);
      if (i > 0) {
        EXPECT_LT(ranges[i - 1].last, ranges[i].first);
      }
    }
  }
}

}  // namespace
}  // namespace tw

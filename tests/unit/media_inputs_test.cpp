#include "many/media_inputs.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "many/modified_time.h"

namespace tw::many {
namespace {

TEST(OutputName, IsTheFileNameWithoutItsLastExtension) {
  EXPECT_EQ(output_name("/data/talk.part.1.wav"), "talk.part.1");
  EXPECT_EQ(output_name("/data/talk"), "talk");
  EXPECT_EQ(output_name("/data/.wav"), "");
#ifdef _WIN32
  EXPECT_EQ(output_name("C:\\media\\-dash with blank.mp4"), "-dash with blank");
#else
  EXPECT_EQ(output_name("/data/a\\b.wav"), "a\\b");  // a backslash is part of a POSIX name
#endif
}

TEST(PathHash, IsFnv1a64OfThePathsBytes) {
  EXPECT_EQ(path_hash(""), 14695981039346656037ULL);
  EXPECT_EQ(path_hash("a"), 0xaf63dc4c8601ec8cULL);
  EXPECT_NE(path_hash("/a/b.wav"), path_hash("/a/c.wav"));
}

TEST(ModifiedTimeText, IsExactOnBothSidesOf1970) {
  EXPECT_EQ(modified_time_text(1700000000, 5), "1700000000.000000005");
  EXPECT_EQ(modified_time_text(0, 0), "0.000000000");
  EXPECT_EQ(modified_time_text(-1, 500000000), "-0.500000000");
  EXPECT_EQ(modified_time_text(-2, 999999999), "-1.000000001");
  EXPECT_EQ(modified_time_text(-1, 0), "-1.000000000");
  EXPECT_EQ(modified_time_text(INT64_MIN, 0), "-9223372036854775808.000000000");
}

}  // namespace
}  // namespace tw::many

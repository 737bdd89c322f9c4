#include "many/media_inputs.h"

#include <gtest/gtest.h>

namespace tw::many {
namespace {

TEST(OutputName, IsTheFileNameWithoutItsLastExtension) {
  EXPECT_EQ(output_name("/data/talk.part.1.wav"), "talk.part.1");
  EXPECT_EQ(output_name("/data/talk"), "talk");
  EXPECT_EQ(output_name("/data/.wav"), "");
  EXPECT_EQ(output_name("C:\\media\\-dash with blank.mp4"), "-dash with blank");
}

TEST(PathHash, IsFnv1a64OfThePathsBytes) {
  EXPECT_EQ(path_hash(""), 14695981039346656037ULL);
  EXPECT_EQ(path_hash("a"), 0xaf63dc4c8601ec8cULL);
  EXPECT_NE(path_hash("/a/b.wav"), path_hash("/a/c.wav"));
}

}  // namespace
}  // namespace tw::many

#include "core/error.h"

#include <gtest/gtest.h>

#include "core/platform/os_error.h"
#include "worker/entry.h"

namespace tw {
namespace {

TEST(ErrorLine, SingleLevel) {
  EXPECT_EQ(error_line(Error("--model is required")), "error: --model is required\n");
}

TEST(ErrorLine, ContextOverCauseJoinedByColon) {
  Error error("--batch", Error("invalid digit found in string"));
  EXPECT_EQ(error_line(error), "error: --batch: invalid digit found in string\n");
  Error deeper("a", Error("b", Error("c")));
  EXPECT_EQ(deeper.chain(), "a: b: c");
}

TEST(ErrorLine, MultiLineMessageIsWrittenUnchanged) {
  EXPECT_EQ(error_line(Error("ffmpeg failed: one\ntwo")), "error: ffmpeg failed: one\ntwo\n");
}

TEST(ErrorValue, KeepsItsCauseAfterMoves) {
  Error outer("outer", Error("inner"));
  Error moved = std::move(outer);
  ASSERT_NE(moved.cause(), nullptr);
  EXPECT_EQ(moved.cause()->message(), "inner");
  EXPECT_EQ(moved.cause()->cause(), nullptr);
}

TEST(OsError, EndsWithTheCode) {
  const std::string text = os_error(2).message();
  const std::string tail = " (os error 2)";
  ASSERT_GT(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_EQ(text.substr(0, text.size() - tail.size()), system_error_text(2));
  // The system text carries no trailing line break.
  EXPECT_NE(text[text.size() - tail.size() - 1], '\n');
  EXPECT_NE(text[text.size() - tail.size() - 1], '\r');
}

}  // namespace
}  // namespace tw

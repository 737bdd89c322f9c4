#include "core/audio/error_output.h"

#include <gtest/gtest.h>

#include <string>

#include "core/text/utf8.h"

namespace tw {
namespace {

void append(ErrorOutput& output, std::string_view text) {
  output.append(std::as_bytes(std::span(text.data(), text.size())));
}

TEST(ErrorOutput, KeepsShortOutputWhole) {
  ErrorOutput output;
  append(output, "pipe:: Protocol not found\n");
  append(output, "");
  append(output, "second line \xE2\x9C\x93\n");
  EXPECT_EQ(output.text(), "pipe:: Protocol not found\nsecond line \xE2\x9C\x93\n");
  EXPECT_EQ(output.total_bytes(), 42u);
}

TEST(ErrorOutput, InvalidUtf8BecomesReplacementCharacters) {
  ErrorOutput output;
  // One U+FFFD per maximal invalid subpart: a lone byte, a truncated sequence.
  append(output, "caf\xE9.wav: Invalid data, \xE2\x96 \xFF\xFF\n");
  EXPECT_EQ(output.text(),
            "caf\xEF\xBF\xBD.wav: Invalid data, \xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\n");
  // A character split across two appends is still one valid character.
  ErrorOutput split;
  append(split, "\xE9\x9F");
  append(split, "\xB3");
  EXPECT_EQ(split.text(), "\xE9\x9F\xB3");
}

TEST(ErrorOutput, KeepsEverythingUpToTheLimits) {
  ErrorOutput output;
  const std::string exact(ERROR_OUTPUT_HEAD_BYTES + ERROR_OUTPUT_TAIL_BYTES, 'x');
  append(output, exact);
  EXPECT_EQ(output.text(), exact);
}

TEST(ErrorOutput, FloodKeepsTheFirstAndLastBytes) {
  ErrorOutput output;
  append(output, "first line\n");
  const std::string filler(4096, 'y');
  for (int i = 0; i < 10000; ++i) append(output, filler);  // 40 MB
  append(output, "last line\n");
  const std::uint64_t total = 11 + 4096ull * 10000 + 10;
  EXPECT_EQ(output.total_bytes(), total);

  const std::string text = output.text();
  const std::string marker =
      "\n[... " + std::to_string(total - ERROR_OUTPUT_HEAD_BYTES - ERROR_OUTPUT_TAIL_BYTES) +
      " bytes left out ...]\n";
  EXPECT_EQ(text.size(), ERROR_OUTPUT_HEAD_BYTES + marker.size() + ERROR_OUTPUT_TAIL_BYTES);
  EXPECT_TRUE(text.starts_with("first line\nyyyy"));
  EXPECT_EQ(text.substr(ERROR_OUTPUT_HEAD_BYTES, marker.size()), marker);
  EXPECT_TRUE(text.ends_with("yyyylast line\n"));
}

TEST(ErrorOutput, FloodCutsAtCharacterBoundaries) {
  // Three-byte characters: neither the head limit nor the tail limit falls on a boundary.
  const std::string note = "\xE9\x9F\xB3";
  std::string chunk;
  for (int i = 0; i < 1000; ++i) chunk += note;
  ErrorOutput output;
  append(output, "ab");  // shifts the characters against the head limit
  for (int i = 0; i < 100; ++i) append(output, chunk);
  const std::string text = output.text();
  ASSERT_FALSE(text.empty());
  EXPECT_TRUE(is_valid_utf8(text));
  const std::size_t marker = text.find("\n[... ");
  ASSERT_NE(marker, std::string::npos);
  // The head ends with whole characters just short of the limit, the tail starts with one.
  EXPECT_EQ(marker, 2 + (ERROR_OUTPUT_HEAD_BYTES - 2) / 3 * 3);
  const std::size_t tail_start = text.find("]\n") + 2;
  EXPECT_EQ(text.size() - tail_start, ERROR_OUTPUT_TAIL_BYTES / 3 * 3);
  const std::uint64_t left_out = output.total_bytes() - marker - (text.size() - tail_start);
  EXPECT_NE(text.find("[... " + std::to_string(left_out) + " bytes left out ...]"),
            std::string::npos);
}

TEST(ErrorOutput, FloodWithInvalidBytesInWhatIsKeptKeepsTheRest) {
  ErrorOutput output;
  append(output, "\xFF");
  append(output, std::string(ERROR_OUTPUT_HEAD_BYTES * 4, 'z'));
  EXPECT_TRUE(output.text().starts_with("\xEF\xBF\xBDzzz"));
  EXPECT_TRUE(output.text().ends_with("zzz"));
  // Invalid bytes only in the part left out are not seen.
  ErrorOutput middle;
  append(middle, std::string(ERROR_OUTPUT_HEAD_BYTES, 'h'));
  append(middle, "\xFF");
  append(middle, std::string(ERROR_OUTPUT_TAIL_BYTES * 3, 't'));
  EXPECT_TRUE(middle.text().starts_with("hhh"));
}

}  // namespace
}  // namespace tw

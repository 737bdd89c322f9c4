#include "many/source_record.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/platform/paths.h"

namespace tw::many {
namespace {

namespace fs = std::filesystem;

TEST(SubtitlesLine, HoldsTheEffectiveLimitsWrittenOneWay) {
  EXPECT_EQ(subtitles_line(subtitles::CueLimits{}),
            "subtitles max-line-chars=42 max-lines=2 max-cue-ms=7000 pause-ms=500 max-cps=20 "
            "min-cue-ms=833 fps=24 cue-gap-frames=2 close-gap-ms=500\n");
  EXPECT_EQ(subtitles_line(*subtitles::style_named("bbc")),
            "subtitles max-line-chars=37 max-lines=2 max-cue-ms=7000 pause-ms=500 max-cps=20 "
            "min-cue-ms=833 fps=25 cue-gap-frames=2 close-gap-ms=500\n");
  const std::string odd = subtitles_line(subtitles::CueLimits{.max_cps = 17.5, .fps = 29.97});
  EXPECT_NE(odd.find(" max-cps=17.5 min-cue-ms=833 fps=29.97 "), std::string::npos) << odd;
}

TEST(IsComplete, TakesNoPendingRecordAndNoSubtitlesLineOnlyWhenNoneIsAsked) {
  const fs::path out =
      fs::temp_directory_path() / ("tw-record-" + std::to_string(std::random_device()()));
  fs::create_directories(out);
  const std::string source = "media /m/talk.wav\nmodel /m\nsize 1\nmodified 2.000000000\n";
  const std::string with_subtitles = source + subtitles_line(subtitles::CueLimits{});
  std::ofstream(out / "talk.jsonl", std::ios::binary) << "";
  std::ofstream(out / "talk.source", std::ios::binary) << pending_record(source);
  EXPECT_FALSE(is_complete(path_utf8(out), "talk", source, {"jsonl"}));
  EXPECT_EQ(recorded_media(path_utf8(out), "talk"), "/m/talk.wav");
  std::ofstream(out / "talk.source", std::ios::binary) << with_subtitles;
  EXPECT_TRUE(is_complete(path_utf8(out), "talk", source, {"jsonl"}));
  EXPECT_FALSE(is_complete(path_utf8(out), "talk",
                           source + subtitles_line(*subtitles::style_named("bbc")), {"jsonl"}));
  fs::remove_all(out);
}

}  // namespace
}  // namespace tw::many

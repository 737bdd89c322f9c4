#include "core/subtitles/document_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/subtitles/cue_text.h"
#include "core/subtitles/subtitle_document.h"

namespace tw::subtitles {
namespace {

std::string document(Format format, const std::vector<Cue>& cues) {
  std::unique_ptr<DocumentWriter> writer = make_writer(format);
  std::string text = writer->begin();
  for (const Cue& cue : cues) text += writer->cue(cue);
  return text + writer->end();
}

TEST(DocumentWriter, WritesEachFormatsSyntax) {
  const std::string controls("a\tb\0c", 5);  // a NUL neither ends nor hides the text
  const std::vector<Cue> cues = {
      {480,
       1681,
       {"Tom & <Jerry>", "run"},
       {cue_word({"Tom", 0.48, 0.8}), cue_word({"&", 0.9, 1.0}), cue_word({"<Jerry>", 1.0, 1.2}),
        cue_word({"run", 1.3, 1.6805})}},
      {4000, 36001500, {controls}, {cue_word({controls, 4.0, 36001.5})}},
  };
  EXPECT_EQ(document(Format::srt, cues),
            "1\n00:00:00,480 --> 00:00:01,681\nTom & <\u200BJerry>\nrun\n\n"
            "2\n00:00:04,000 --> 10:00:01,500\na b c\n\n");
  // No word is markup in SubRip, nor a time line.
  const Cue markup = {1000, 2000, {"1 --> 00:00:02,000 ---> a<b>c", "{\\i1} \\N"}, {}};
  EXPECT_EQ(document(Format::srt, {markup}),
            "1\n00:00:01,000 --> 00:00:02,000\n1 --\u200B> 00:00:02,000 --\u200B-> "
            "a<\u200Bb>c\n{\u200B\\\u200Bi1} \\\u200BN\n\n");
  EXPECT_EQ(document(Format::vtt, cues),
            "WEBVTT\n\n00:00:00.480 --> 00:00:01.681\nTom &amp; &lt;Jerry&gt;\nrun\n"
            "\n00:00:04.000 --> 10:00:01.500\na b c\n");
  EXPECT_EQ(document(Format::txt, cues), "Tom & <Jerry> run\n\na b c\n");
  EXPECT_EQ(document(Format::json, {cues[1]}),
            "{\"cues\":[\n{\"end\":36001.5,\"lines\":[\"a\\tb\\u0000c\"],\"start\":4.0,"
            "\"words\":[{\"end\":36001.5,\"start\":4.0,\"text\":\"a\\tb\\u0000c\"}]}\n]}\n");
  for (Format format : {Format::srt, Format::vtt, Format::txt, Format::json}) {
    EXPECT_EQ(document(format, {}), format == Format::vtt    ? "WEBVTT\n"
                                    : format == Format::json ? "{\"cues\":[\n]}\n"
                                                             : "");
  }
}

TEST(DocumentWriter, WritesClockTimesToTheMillisecond) {
  const struct {
    double seconds;
    const char* written;
  } cases[] = {
      {0.0, "00:00:00,000"},        {62.3454, "00:01:02,345"},      {3599.9996, "01:00:00,000"},
      {360000.25, "100:00:00,250"}, {-0.5, "00:00:00,000"},         {0.0005, "00:00:00,001"},
      {2.9995, "00:00:03,000"},     {1e300, "277777777:46:40,000"}, {std::nan(""), "00:00:00,000"},
  };
  for (const auto& c : cases) EXPECT_EQ(clock_time(to_milliseconds(c.seconds), ','), c.written);
}

TEST(SubtitleDocument, HandsEachPieceToTheSinkAsSoonAsItIsFinalAndStopsWhereTheSinkFails) {
  std::vector<std::string> pieces;
  SubtitleDocument document(
      Format::vtt, {},
      [&](std::string_view text) -> Status {
        pieces.emplace_back(text);
        if (pieces.size() == 3) return fail("disk full");
        return {};
      },
      true);
  ASSERT_TRUE(document.begin());
  const std::vector<Word> first = {{"Hello", 0.5, 1.0}, {"world.", 1.1, 1.5}};
  ASSERT_TRUE(document.add(first, 1.5));
  EXPECT_EQ(pieces, std::vector<std::string>{"WEBVTT\n"});  // the cue may still grow
  const std::vector<Word> second = {{"Yes.", 5.0, 5.5}};
  ASSERT_TRUE(document.add(second, 5.5));
  EXPECT_EQ(pieces.back(), "\n00:00:00.500 --> 00:00:01.500\nHello world.\n");
  EXPECT_FALSE(document.end());
  EXPECT_TRUE(document.sink_failed());
  EXPECT_EQ(pieces.size(), 3u);
  EXPECT_NE(document.report().find("subtitle quality: 1 cues"), std::string::npos);
}

}  // namespace
}  // namespace tw::subtitles

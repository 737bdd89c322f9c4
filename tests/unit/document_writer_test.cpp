#include "core/subtitles/document_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/subtitles/cue_text.h"

namespace tw::subtitles {
namespace {

std::string document(Format format, const std::vector<Cue>& cues) {
  std::unique_ptr<DocumentWriter> writer = make_writer(format);
  std::string text = writer->begin();
  for (const Cue& cue : cues) text += writer->cue(cue);
  return text + writer->end();
}

TEST(DocumentWriter, WritesEachFormatsSyntax) {
  const std::vector<Cue> cues = {
      {480,
       1681,
       {"Tom & <Jerry>", "run"},
       {cue_word({"Tom", 0.48, 0.8}), cue_word({"&", 0.9, 1.0}), cue_word({"<Jerry>", 1.0, 1.2}),
        cue_word({"run", 1.3, 1.6805})}},
      {4000, 36001500, {"a\tb"}, {cue_word({"a\tb", 4.0, 36001.5})}},
  };
  EXPECT_EQ(document(Format::srt, cues),
            "1\n00:00:00,480 --> 00:00:01,681\nTom & <\u200BJerry>\nrun\n\n"
            "2\n00:00:04,000 --> 10:00:01,500\na b\n\n");
  // No word is markup in SubRip, nor a time line.
  const Cue markup = {1000, 2000, {"1 --> 00:00:02,000 ---> a<b>c", "{\\i1} \\N"}, {}};
  EXPECT_EQ(document(Format::srt, {markup}),
            "1\n00:00:01,000 --> 00:00:02,000\n1 --\u200B> 00:00:02,000 --\u200B-> "
            "a<\u200Bb>c\n{\u200B\\\u200Bi1} \\\u200BN\n\n");
  EXPECT_EQ(document(Format::vtt, cues),
            "WEBVTT\n\n00:00:00.480 --> 00:00:01.681\nTom &amp; &lt;Jerry&gt;\nrun\n"
            "\n00:00:04.000 --> 10:00:01.500\na b\n");
  EXPECT_EQ(document(Format::txt, cues), "Tom & <Jerry> run\n\na b\n");
  EXPECT_EQ(document(Format::json, {cues[1]}),
            "{\"cues\":[\n{\"end\":36001.5,\"lines\":[\"a\\tb\"],\"start\":4.0,\"words\":"
            "[{\"end\":36001.5,\"start\":4.0,\"text\":\"a\\tb\"}]}\n]}\n");
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

}  // namespace
}  // namespace tw::subtitles

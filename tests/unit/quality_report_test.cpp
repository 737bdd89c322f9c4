#include "core/subtitles/quality_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tw::subtitles {
namespace {

// A cue from START to END, its lines given with "|" between them, its words WORD_SECONDS each
// from START.
Cue cue(double start, double end, const std::string& lines, double word_seconds = 0.2) {
  Cue made;
  made.start_ms = to_milliseconds(start);
  made.end_ms = to_milliseconds(end);
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line, '|');) {
    made.lines.push_back(line);
    std::istringstream words(line);
    for (std::string word; words >> word;) {
      const double at = start + word_seconds * static_cast<double>(made.words.size());
      made.words.push_back(cue_word({word, at, at + word_seconds}));
    }
  }
  return made;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(QualityReport, CountsEachRuleTheCuesBreakAndWhy) {
  const struct {
    const char* behaviour;
    std::vector<Cue> cues;
    QualityReport::Rule rule;
  } cases[] = {
      {"short, and the next cue follows at once",
       {cue(0, 0.5, "Hi."), cue(0.5 + 2.0 / 24, 2, "There.")},
       QualityReport::too_short_next_follows},
      {"short, and last", {cue(0, 0.5, "Hi.")}, QualityReport::too_short_other},
      {"faster than 20 characters a second, as spoken",
       {cue(0, 1, "twenty-five characters or so", 0.1)},
       QualityReport::too_fast_speech},
      {"a gap under 2 frames",
       {cue(0, 1, "One."), cue(1.05, 2, "Two.")},
       QualityReport::gap_under_minimum},
      {"a gap of 0.3 s left open",
       {cue(0, 1, "One."), cue(1.3, 2.3, "Two.")},
       QualityReport::gap_left_open},
      {"a word wider than a line", {cue(0, 2, std::string(50, 'x'))}, QualityReport::wide_line},
      {"two lines wider than the limit: one cue",
       {cue(0, 2, std::string(50, 'x') + "|" + std::string(50, 'y'))},
       QualityReport::wide_line},
      {"short by a millisecond as written",
       {cue(1.0, 1.832, "Hi.")},
       QualityReport::too_short_other},
      {"broken after an article",
       {cue(0, 3, "She bought a bottle of the|cheapest wine in town")},
       QualityReport::break_after_binding},
      {"not broken at the comma that fits",
       {cue(0, 3, "When we got there, the doors|were already closed")},
       QualityReport::punctuation_ignored},
      {"one word alone on a line",
       {cue(0, 3, "alpha beta gamma delta|epsilon")},
       QualityReport::lone_word_line},
      {"a sentence tail alone",
       {cue(0, 2, "We should start again from the"), cue(2.1, 3, "beginning.")},
       QualityReport::sentence_tail},
      {"a title split from its name",
       {cue(0, 2, "We met Dr."), cue(2.1, 3, "Smith today.")},
       QualityReport::abbreviation_split},
  };
  for (const auto& c : cases) {
    QualityReport report({});
    for (const Cue& each : c.cues) report.add(each);
    const std::string text = report.text();
    EXPECT_EQ(report.count(c.rule), 1u) << c.behaviour << "\n" << text;
    std::size_t breaking = 0;
    for (std::size_t rule = 0; rule < QualityReport::rule_count; ++rule) {
      breaking += report.count(static_cast<QualityReport::Rule>(rule));
    }
    EXPECT_EQ(occurrences(text, "\n  cue "), breaking) << c.behaviour << "\n" << text;
  }
  QualityReport clean({});
  clean.add(cue(0, 3, "Well, Dr. Smith said|that we should meet."));
  clean.add(cue(3.0 + 2.0 / 24, 3.916, "Yes. Okay."));  // 833 ms after 3.083 s, as written
  EXPECT_NE(clean.text().find("every cue keeps every rule"), std::string::npos) << clean.text();
}

}  // namespace
}  // namespace tw::subtitles

#include "core/subtitles/cue_builder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/subtitles/timing_pass.h"
#include "core/subtitles/word_kinds.h"

namespace tw::subtitles {
namespace {

// A word, or with no text a promise that no later word starts before `start`.
struct Step {
  std::string text;
  double start;
  double end = 0.0;
};

// Every cue as "@S START-END line|line": S is the step after which it was final, "end" for
// the end of the input.
std::vector<std::string> build(const CueLimits& limits, const std::vector<Step>& steps) {
  CueBuilder builder(limits);
  std::vector<std::string> out;
  auto note = [&](const Cue& cue, const std::string& when) {
    char times[64];
    std::snprintf(times, sizeof times, " %.3f-%.3f", static_cast<double>(cue.start_ms) / 1000,
                  static_cast<double>(cue.end_ms) / 1000);
    std::string text = "@" + when + times;
    for (std::size_t i = 0; i < cue.lines.size(); ++i) text += (i ? "|" : " ") + cue.lines[i];
    out.push_back(text);
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    if (step.text.empty()) {
      for (const Cue& cue : builder.reach(step.start)) note(cue, std::to_string(i));
    } else {
      for (const Cue& cue : builder.add(Word{step.text, step.start, step.end})) {
        note(cue, std::to_string(i));
      }
    }
  }
  for (const Cue& cue : builder.finish()) note(cue, "end");
  return out;
}

struct BuildCase {
  const char* behaviour;
  CueLimits limits;
  std::vector<Step> steps;
  std::vector<std::string> cues;
};

TEST(CueBuilder, EndsCuesAtSentencesPausesAndLimits) {
  const CueLimits narrow{.max_line_chars = 9, .max_lines = 2};
  const BuildCase cases[] = {
      {"a sentence end closes the cue at the next word, the least gap (2 frames) before it",
       {},
       {{"Hello", 0.0, 0.5}, {"world.", 0.5, 1.0}, {"Next", 1.0, 1.5}},
       {"@2 0.000-0.917 Hello world.", "@end 1.000-1.833 Next"}},
      {"short sentences share a cue rather than flash; closing quotes and brackets still end one",
       {},
       {{"\"Yes!\"", 0.0, 0.5}, {"(no.)", 0.5, 1.0}, {"\u00BFqu\u00E9?", 1.0, 1.5}},
       {"@2 0.000-0.917 \"Yes!\" (no.)", "@end 1.000-1.833 \u00BFqu\u00E9?"}},
      {"a pause longer than the threshold ends the cue; one of exactly that length does not",
       {.pause_ms = 500},
       {{"one", 0.0, 0.5},
        {"two", 0.5, 1.0},
        {"three", 1.5, 2.0},
        {"four", 2.75, 3.0},
        {"five", 3, 3.5},
        {"six", 3.5, 4}},
       {"@end 0.000-2.000 one two three", "@end 2.750-4.000 four five six"}},
      {"even when it leaves a stray word",
       {.pause_ms = 500},
       {{"a", 0.0, 1.0}, {"b", 1.5, 2.0}, {"c", 2.75, 3.0}},
       {"@end 0.000-2.000 a b", "@end 2.750-3.583 c"}},
      {"nor when it leaves a flash: a short sentence never shares a cue across a pause",
       {},
       {{"Yes.", 5.0, 5.2}, {"No.", 5.9, 6.0}},
       {"@end 5.000-5.817 Yes.", "@end 5.900-6.733 No."}},
      {"a cue kept up for exactly the minimum is not too short, whatever its start",
       {},
       {{"Hello", 0.5, 1.0},
        {"world.", 1.1, 1.5},
        {"Yes.", 5.0, 5.5},
        {"Next", 9.0, 9.5},
        {"cue.", 9.6, 9.9},
        {"", 30.0}},
       {"@2 0.500-1.500 Hello world.", "@3 5.000-5.833 Yes.", "@5 9.000-9.900 Next cue."}},
      {"lines break between words, and the words spread over cues without a one-word tail",
       narrow,
       {{"aaaa", 0, 1}, {"bbbb", 1, 2}, {"cccc", 2, 3}, {"dddd", 3, 4}, {"ee", 4, 5}},
       {"@end 0.000-1.917 aaaa bbbb", "@end 2.000-5.000 cccc|dddd ee"}},
      {"a word longer than a line gets a line of its own, never split",
       narrow,
       {{"hi", 0, 1}, {"abcdefghijkl", 1, 2}, {"yo", 2, 3}, {"mnopqrstuvwxyz", 3, 4}},
       {"@end 0.000-1.917 hi|abcdefghijkl", "@end 2.000-4.000 yo|mnopqrstuvwxyz"}},
      {"characters are counted, not bytes",
       narrow,
       {{"\u00E9t\u00E9", 0, 1}, {"\u00E0\u00E9\u00FC", 1, 2}, {"x", 2, 3}},
       {"@end 0.000-3.000 \u00E9t\u00E9 \u00E0\u00E9\u00FC x"}},
      {"no cue longer than its limit, and no half-second word left alone",
       {.max_cue_ms = 3000},
       {{"a", 0, 1}, {"b", 1, 3}, {"c", 3, 3.5}, {"d", 3.5, 7}},
       {"@end 0.000-0.917 a", "@end 1.000-3.417 b c", "@end 3.500-7.000 d"}},
      {"a cue whose words overlap the next keeps the gap: it ends 2 frames before its words do",
       {.pause_ms = 500},
       {{"long.", 0, 5}, {"x", 4, 4.5}, {"y", 4.5, 6}},
       {"@1 0.000-4.917 long.", "@end 5.000-6.000 x y"}},
      {"words of no length or overlapping the cue before still give cues a frame long, apart",
       {.max_line_chars = 2, .max_lines = 1},
       {{"a.", 5, 5}, {"b", 4, 5}, {"c.", 5, 5}, {"d", -2, -1}},
       {"@end 5.000-5.042 a.", "@end 5.125-5.167 b", "@end 5.250-5.292 c.", "@end 5.375-6.208 d"}},
      {"a gap under 0.5 s is closed down to 2 frames",
       {},
       {{"One", 0, 0.5}, {"two.", 0.5, 1.0}, {"Three", 1.3, 1.8}, {"four.", 1.8, 2.2}},
       {"@2 0.000-1.217 One two.", "@end 1.300-2.200 Three four."}},
      {"a fast cue stays up into the silence after it until it can be read at 20 characters a "
       "second",
       {},
       {{"Everybody", 0, 0.4}, {"understood", 0.4, 0.8}, {"everything.", 0.8, 1.2}, {"", 5}},
       {"@3 0.000-1.600 Everybody understood everything."}},
      {"the end of the covered audio finalizes a cue once a 2 s silence and its end are certain",
       {.max_cue_ms = 3000, .pause_ms = 500},
       {{"a", 0, 1}, {"", 2.5}, {"", 3.5}, {"b", 4, 4.5}, {"", 6.75}, {"c", 7, 7.5}},
       {"@2 0.000-1.000 a", "@4 4.000-4.833 b", "@end 7.000-7.833 c"}},
  };
  for (const BuildCase& c : cases) EXPECT_EQ(build(c.limits, c.steps), c.cues) << c.behaviour;
}

TEST(CueBuilder, JoinsACueTooShortToShowWithTheNextWhenBothFitAndNoPausePartsThem) {
  TimingPass timing({});
  EXPECT_TRUE(timing.add({.lines = {"a."}, .words = {cue_word({"a.", 0.0, 0.2})}}).empty());
  EXPECT_TRUE(timing.add({.lines = {"b"}, .words = {cue_word({"b", 0.3, 0.5})}}).empty());
  std::optional<Cue> joined = timing.finish();
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->lines, std::vector<std::string>{"a. b"});
  EXPECT_EQ(joined->start_ms, 0);
  EXPECT_EQ(joined->end_ms, 833);
  // After 0.7 s of silence (more than --pause-ms) the short cue stays alone.
  EXPECT_TRUE(timing.add({.lines = {"c."}, .words = {cue_word({"c.", 2.0, 2.2})}}).empty());
  const std::vector<Cue> alone = timing.add({.lines = {"d"}, .words = {cue_word({"d", 2.9, 3.0})}});
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_EQ(alone[0].lines, std::vector<std::string>{"c."});
  EXPECT_EQ(alone[0].end_ms, 2817);
}

TEST(CueBuilder, TellsSentenceEnds) {
  for (const char* text :
       {"end.", "why?", "no!", "so\u2026", "\u5B8C\u3002", "\"quoted.\"", "x.)"}) {
    EXPECT_TRUE(ends_sentence(text)) << text;
  }
  for (const char* text : {"word", "3,5", "e.g", "\"", "a,"})
    EXPECT_FALSE(ends_sentence(text)) << text;
}

}  // namespace
}  // namespace tw::subtitles

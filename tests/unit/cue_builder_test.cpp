#include "subtitles/cue_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/json/json_number.h"

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
    std::string text = "@" + when + " " + json_number(cue.start) + "-" + json_number(cue.end);
    for (std::size_t i = 0; i < cue.lines.size(); ++i) text += (i ? "|" : " ") + cue.lines[i];
    out.push_back(text);
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    if (step.text.empty()) {
      if (auto cue = builder.reach(step.start)) note(*cue, std::to_string(i));
    } else {
      for (const Cue& cue : builder.add(Word{step.text, step.start, step.end})) {
        note(cue, std::to_string(i));
      }
    }
  }
  if (auto cue = builder.finish()) note(*cue, "end");
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
      {"a sentence end closes the cue at once",
       {},
       {{"Hello", 0.0, 0.5}, {"world.", 0.5, 1.0}, {"Next", 1.0, 1.5}},
       {"@1 0.0-1.0 Hello world.", "@end 1.0-1.5 Next"}},
      {"a closing quote or bracket after the end still ends it",
       {},
       {{"\"Yes!\"", 0.0, 0.5}, {"(no.)", 0.5, 1.0}, {"\u00BFqu\u00E9?", 1.0, 1.5}},
       {"@0 0.0-0.5 \"Yes!\"", "@1 0.5-1.0 (no.)", "@2 1.0-1.5 \u00BFqu\u00E9?"}},
      {"a pause longer than the threshold ends the cue; one of exactly that length does not",
       {.pause_seconds = 0.5},
       {{"a", 0.0, 1.0}, {"b", 1.5, 2.0}, {"c", 2.75, 3.0}},
       {"@2 0.0-2.0 a b", "@end 2.75-3.0 c"}},
      {"lines break between words, and a full cue ends before the word that does not fit",
       narrow,
       {{"aaaa", 0, 1}, {"bbbb", 1, 2}, {"cccc", 2, 3}, {"dddd", 3, 4}, {"ee", 4, 5}},
       {"@4 0.0-4.0 aaaa bbbb|cccc dddd", "@end 4.0-5.0 ee"}},
      {"a word longer than a line gets a line of its own, never split",
       narrow,
       {{"hi", 0, 1}, {"abcdefghijkl", 1, 2}, {"yo", 2, 3}, {"mnopqrstuvwxyz", 3, 4}},
       {"@2 0.0-2.0 hi|abcdefghijkl", "@end 2.0-4.0 yo|mnopqrstuvwxyz"}},
      {"characters are counted, not bytes",
       narrow,
       {{"\u00E9t\u00E9", 0, 1}, {"\u00E0\u00E9\u00FC", 1, 2}, {"x", 2, 3}},
       {"@end 0.0-3.0 \u00E9t\u00E9 \u00E0\u00E9\u00FC x"}},
      {"a word that would make the cue longer than its limit starts the next one",
       {.max_cue_seconds = 3.0},
       {{"a", 0, 1}, {"b", 1, 3}, {"c", 3, 3.5}, {"d", 3.5, 7}},
       {"@2 0.0-3.0 a b", "@3 3.0-3.5 c", "@end 3.5-7.0 d"}},
      {"a cue never starts before the one before it ends, nor ends before it starts",
       {.pause_seconds = 0.5},
       {{"long.", 0, 5}, {"x", 4, 4.5}, {"y", 4.5, 6}},
       {"@0 0.0-5.0 long.", "@end 5.0-6.0 x y"}},
      {"words of no length or overlapping the cue before still give cues a millisecond long",
       {},
       {{"a.", 5, 5}, {"b", 4, 5}, {"c.", 5, 5}, {"d", -2, -1}},
       {"@0 5.0-5.001 a.", "@2 5.001-5.002 b c.", "@end 5.002-5.003 d"}},
      {"the end of the covered audio finalizes a cue once a pause or its length is certain",
       {.max_cue_seconds = 3.0, .pause_seconds = 0.5},
       {{"a", 0, 1}, {"", 1.5}, {"", 1.75}, {"b", 2, 2.5}, {"", 3.5}, {"c", 3.5, 4}},
       {"@2 0.0-1.0 a", "@4 2.0-2.5 b", "@end 3.5-4.0 c"}},
  };
  for (const BuildCase& c : cases) EXPECT_EQ(build(c.limits, c.steps), c.cues) << c.behaviour;
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

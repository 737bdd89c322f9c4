#include "core/subtitles/line_breaker.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/subtitles/display_width.h"
#include "core/subtitles/word_kinds.h"

namespace tw::subtitles {
namespace {

// Words from blank-separated text ("|" in the text stands for nothing: no blank there).
std::vector<CueWord> words_of(const std::string& text) {
  std::vector<CueWord> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back({word, 0.0, 0.0});
  return words;
}

std::string broken(const std::string& text, std::size_t width, std::size_t lines = 2) {
  std::string out;
  for (const std::string& line : break_lines(words_of(text), width, lines)) {
    out += (out.empty() ? "" : "|") + line;
  }
  return out;
}

TEST(LineBreaker, ChoosesTheBreakAStyleGuideWould) {
  const struct {
    const char* behaviour;
    const char* text;
    std::size_t width;
    const char* lines;
  } cases[] = {
      {"one line when the words fit", "I went to the shop.", 42, "I went to the shop."},
      {"at clause punctuation rather than filling the top line",
       "When we got there, the doors were already closed", 30,
       "When we got there,|the doors were already closed"},
      {"not after an article, before the preposition instead",
       "She bought a bottle of the cheapest wine", 28, "She bought a bottle|of the cheapest wine"},
      {"bottom-heavy rather than top-heavy at breaks of equal kind", "aaa bbb ccc ddd eee fff ggg",
       16, "aaa bbb ccc|ddd eee fff ggg"},
      {"never one word alone on a line when another break fits",
       "alpha beta gamma delta epsilon zeta", 30, "alpha beta gamma|delta epsilon zeta"},
      {"a word wider than a line alone on its own line", "hi abcdefghijklmnop yo", 8,
       "hi|abcdefghijklmnop|yo"},
      {"more lines than allowed only when the words need them: filled greedily",
       "aaaa bbbb cccc dddd eeee", 9, "aaaa bbbb|cccc dddd|eeee"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(broken(c.text, c.width), c.lines) << c.behaviour;
  }
}

TEST(LineBreaker, CountsDisplayWidthAndJoinsChineseAndJapaneseWithoutBlanks) {
  EXPECT_EQ(display_width("abc"), 3u);
  EXPECT_EQ(display_width("\u00E9t\u00E9"), 3u);       // precomposed: one column each
  EXPECT_EQ(display_width("e\u0301"), 1u);             // a combining accent takes none
  EXPECT_EQ(display_width("\u4F60\u597D\u3002"), 6u);  // Han and its full stop: two each
  EXPECT_EQ(display_width("\u3053\u3093\u306B\u3061\u306F"), 10u);  // hiragana
  EXPECT_EQ(display_width("\xFF"), 1u);
  EXPECT_TRUE(joins_without_blank("\u4F60\u597D", "\u4E16\u754C"));
  EXPECT_TRUE(joins_without_blank("\u4ECA\u65E5\u306F", "\u30C6\u30B9\u30C8"));
  EXPECT_FALSE(joins_without_blank("\uD55C\uAD6D\uC5B4", "\uBB38\uC7A5"));  // Hangul: blanks
  EXPECT_FALSE(joins_without_blank("\u4F60", "ok"));
  EXPECT_EQ(join_words(words_of("\u4F60\u597D \u4E16\u754C\u3002 OK \u597D")),
            "\u4F60\u597D\u4E16\u754C\u3002 OK \u597D");
  // Five Han words of two characters: 20 columns, so two lines of 12 columns hold them.
  EXPECT_EQ(broken("\u4E00\u4E8C \u4E09\u56DB \u4E94\u516D \u4E03\u516B \u4E5D\u5341", 12),
            "\u4E00\u4E8C\u4E09\u56DB|\u4E94\u516D\u4E03\u516B\u4E5D\u5341");
}

TEST(WordKinds, TellsSentenceEndsFromAbbreviationsInitialsAndNumbers) {
  const struct {
    const char* word;
    const char* next;
    bool ends;
  } cases[] = {
      {"end.", "Then", true},
      {"why?", "no", true},
      {"so\u2026", "", true},
      {"\u5B8C\u3002", "", true},
      {"\"quoted.\"", "", true},
      {"x.)", "", true},
      {"word", "Next", false},
      {"3,5", "", false},
      {"a,", "", false},
      {"Dr.", "Smith", false},
      {"Mrs.", "Brown", false},
      {"e.g.", "apples", false},
      {"i.e.", "The", false},
      {"St.", "Paul's", false},
      {"p.m.", "and", false},
      {"p.m.", "Then", true},
      {"U.S.", "government", false},
      {"U.S.", "We", true},
      {"J.", "Smith", false},
      {"J.R.R.", "Tolkien", false},
      {"B.", "and", true},
      {"3.", "5", false},
      {"3.", "Then", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sentence_ends_between(c.word, c.next), c.ends) << c.word << " " << c.next;
  }
  EXPECT_TRUE(sentence_end_needs_next("p.m."));
  EXPECT_FALSE(sentence_end_needs_next("end."));
}

TEST(WordKinds, RanksBreaks) {
  EXPECT_LT(break_cost("end.", "Then"), break_cost("said,", "then"));
  EXPECT_LT(break_cost("said,", "then"), break_cost("bottle", "of"));
  EXPECT_LT(break_cost("bottle", "of"), break_cost("red", "wine"));
  EXPECT_LT(break_cost("red", "wine"), break_cost("the", "wine"));
  for (const char* binding :
       {"a", "The", "my", "I", "they", "was", "could", "don't", "of", "and"}) {
    EXPECT_EQ(break_cost(binding, "thing"), BREAK_AFTER_BINDING_WORD) << binding;
  }
  EXPECT_EQ(break_cost("Dr.", "Smith"), BREAK_INSIDE_ABBREVIATION);
  EXPECT_EQ(break_cost("Dr.", ""), BREAK_INSIDE_ABBREVIATION);
  EXPECT_EQ(break_cost("3.", "5"), BREAK_INSIDE_ABBREVIATION);
}

}  // namespace
}  // namespace tw::subtitles

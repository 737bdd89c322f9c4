#include "core/asr/read_words.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tw {
namespace {

// A library whose one stream has the given result text.
struct ScriptedResult {
  static inline const char* text = nullptr;
  static inline int released = 0;

  static const SpeechCalls& calls() {
    static const SpeechCalls table{
        .create_stream = nullptr,
        .accept_waveform = nullptr,
        .decode_stream = nullptr,
        .decode_streams = nullptr,
        .result_json = [](StreamHandle) { return text; },
        .release_result_json =
            [](const char* json) {
              EXPECT_EQ(json, text);
              ++released;
            },
        .destroy_stream = nullptr,
        .destroy_recognizer = nullptr,
    };
    return table;
  }
};

std::vector<Word> words_of(const std::string& json, double offset = 10.0) {
  ScriptedResult::text = json.c_str();
  ScriptedResult::released = 0;
  std::vector<Word> words = read_words(ScriptedResult::calls(), nullptr, offset);
  EXPECT_EQ(ScriptedResult::released, 1);
  return words;
}

// A result as the library writes it (members in its order), from the JSON of each array.
std::string result(const std::string& tokens, const std::string& timestamps,
                   const std::string& durations = "[]") {
  return R"({"lang": "", "emotion": "", "event": "", "text": "x", "timestamps": )" + timestamps +
         R"(, "durations": )" + durations + R"(, "tokens":)" + tokens +
         R"(, "ys_log_probs": [], "words": []})";
}

double f32(float value) { return static_cast<double>(value); }

void expect_words(const std::vector<Word>& actual, const std::vector<Word>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_EQ(actual[i].text, expected[i].text) << i;
    EXPECT_EQ(actual[i].start, expected[i].start) << i;
    EXPECT_EQ(actual[i].end, expected[i].end) << i;
  }
}

const std::string HELLO_WORLD = R"([" Hello", " wor", "ld"])";

TEST(ReadWords, TokensJoinIntoWordsWithTimesFromTheNextTimestamp) {
  expect_words(
      words_of(result(HELLO_WORLD, "[0.0, 0.4, 0.6]")),
      {{"Hello", 10.0, 10.400000005960464}, {"world", 10.400000005960464, 10.700000023841858}});
}

TEST(ReadWords, DurationsGiveTheEnds) {
  expect_words(words_of(result(HELLO_WORLD, "[0.0, 0.4, 0.6]", "[0.3, 0.2, 0.1]")),
               {{"Hello", 10.0, 10.0 + f32(0.3f)},
                {"world", 10.0 + f32(0.4f), 10.0 + f32(0.6f) + f32(0.1f)}});
}

TEST(ReadWords, TokensBeyondTheDurationsEndAtTheNextTimestampOrATenthLater) {
  expect_words(
      words_of(result(HELLO_WORLD, "[0.0, 0.4, 0.6]", "[0.3]")),
      {{"Hello", 10.0, 10.0 + f32(0.3f)}, {"world", 10.0 + f32(0.4f), 10.0 + f32(0.6f) + 0.1}});
  expect_words(words_of(result(HELLO_WORLD, "[0.0, 0.4, 0.6]", "[0.3, 0.2, 0.1, 0.5]")),
               {{"Hello", 10.0, 10.0 + f32(0.3f)},
                {"world", 10.0 + f32(0.4f), 10.0 + f32(0.6f) + f32(0.1f)}});
}

TEST(ReadWords, DurationsMissingNullOrEmptyAreIgnored) {
  const std::vector<Word> expected = {{"Hello", 10.0, 10.0 + f32(0.4f)},
                                      {"world", 10.0 + f32(0.4f), 10.0 + f32(0.6f) + 0.1}};
  expect_words(words_of(result(HELLO_WORLD, "[0.0, 0.4, 0.6]", "null")), expected);
  expect_words(words_of(result(HELLO_WORLD, "[0.0, 0.4, 0.6]", "[]")), expected);
  expect_words(words_of(R"({"text": "", "tokens": [" Hello", " wor", "ld"], )"
                        R"("timestamps": [0.0, 0.4, 0.6]})"),
               expected);
}

TEST(ReadWords, AFirstTokenWithoutASpaceStartsTheFirstWord) {
  expect_words(words_of(result(R"(["Hi", " there"])", "[1, 2]"), 0.0),
               {{"Hi", 1.0, 2.0}, {"there", 2.0, 2.1}});
}

TEST(ReadWords, ATokenThatIsOnlyASpaceEndsTheWordButAddsNoTextAndNoTime) {
  // The space between " wor" and "ld" ends "wor" without moving its end, as the library's text
  // "wor ld" has a blank there.
  expect_words(words_of(result(R"([" wor", " ", "ld"])", "[0.0, 0.5, 1.0]"), 0.0),
               {{"wor", 0.0, 0.5}, {"ld", 1.0, 1.1}});
  // It makes no word of its own when it comes first, nor with others or at the end.
  expect_words(words_of(result(R"([" ", "ab"])", "[0.0, 0.5]"), 0.0), {{"ab", 0.5, 0.6}});
  expect_words(words_of(result(R"([" a", " ", " ", "b", " "])", "[0, 1, 2, 3, 4]"), 0.0),
               {{"a", 0.0, 1.0},
                {"b", 3.0, 4.0}});  // A token of other white space only (a tab) parts nothing.
  expect_words(words_of(result(R"([" a", "\t", "b"])", "[0, 1, 2]"), 0.0), {{"ab", 0.0, 2.1}});
}

TEST(ReadWords, AfterASpaceTokenTheWordGoesOnWhereTheLibraryTextHasNoBlank) {
  // The tokens " " + before, " ", next: the words of the library's text for them.
  struct Case {
    std::string before;
    std::string next;
    std::vector<std::string> words;
  };
  const std::vector<Case> cases = {
      {"hello", "world", {"hello", "world"}},
      {"hello", "7", {"hello", "7"}},
      {"hello", "\u00e9", {"hello", "\u00e9"}},
      {"hello", ",", {"hello,"}},  // ASCII punctuation: 21-2F, 3A-40, 5B-60, 7B-7E
      {"hello", "'s", {"hello's"}},
      {"hello", "!", {"hello!"}},
      {"hello", "/", {"hello/"}},
      {"hello", "0", {"hello", "0"}},
      {"hello", ":", {"hello:"}},
      {"hello", "@", {"hello@"}},
      {"hello", "A", {"hello", "A"}},
      {"hello", "[", {"hello["}},
      {"hello", "`", {"hello`"}},
      {"hello", "{", {"hello{"}},
      {"hello", "~", {"hello~"}},
      {"hello", "\u3002", {"hello\u3002"}},  // CJK and fullwidth punctuation
      {"hello", "\u303f", {"hello\u303f"}},
      {"hello", "\uff0c", {"hello\uff0c"}},
      {"hello", "\uff1f", {"hello\uff1f"}},
      {"hello", "\uff3b", {"hello\uff3b"}},
      {"hello", "\uff65", {"hello\uff65"}},
      {"hello", "\uff10", {"hello", "\uff10"}},  // a fullwidth digit is no punctuation
      {"hello", "\uff21", {"hello", "\uff21"}},
      {"hello", "\u00bf", {"hello", "\u00bf"}},  // nor are other marks
      {"hello", "\u2026", {"hello", "\u2026"}},
      {"hello", "\ufe50", {"hello", "\ufe50"}},
      {"hello", "\u4e2d", {"hello", "\u4e2d"}},  // CJK after Latin
      {"\u4e2d", "\u6587", {"\u4e2d\u6587"}},    // CJK after CJK
      {"\u4e2d", "a", {"\u4e2d", "a"}},
      {"\u3002", "\u4e2d", {"\u3002\u4e2d"}},      // the CJK symbols count as CJK
      {"\uff0c", "\u4e2d", {"\uff0c", "\u4e2d"}},  // fullwidth punctuation does not
      {"\uff65", "\u4e2d", {"\uff65\u4e2d"}},      // but the halfwidth middle dot does
      {"\ud55c", "\u3042", {"\ud55c\u3042"}},      // Hangul, kana
      {"\ua000", "\uac00", {"\ua000\uac00"}},      // Yi, Hangul
      {"\u1100", "\uff66", {"\u1100\uff66"}},      // Hangul jamo, halfwidth katakana
      {"\u2e80", "\uf900", {"\u2e80\uf900"}},      // radicals, compatibility ideographs
      {"\ufe30", "\U00020000", {"\ufe30\U00020000"}},
      {"\u4e2d", "\u11ff", {"\u4e2d\u11ff"}},
      {"\u4e2d", "\ufe4f", {"\u4e2d\ufe4f"}},
      {"\u4e2d", "\uffdc", {"\u4e2d\uffdc"}},
      {"\u4e2d", "\U0002fffd", {"\u4e2d\U0002fffd"}},
      {"\u4e2d", "\u10ff", {"\u4e2d", "\u10ff"}},  // just outside the CJK ranges
      {"\u4e2d", "\u2e7f", {"\u4e2d", "\u2e7f"}},
      {"\u4e2d", "\ua4d0", {"\u4e2d", "\ua4d0"}},
      {"\u4e2d", "\ua83f", {"\u4e2d", "\ua83f"}},
      {"\u4e2d", "\ud7b0", {"\u4e2d", "\ud7b0"}},
      {"\u4e2d", "\uf8ff", {"\u4e2d", "\uf8ff"}},
      {"\u4e2d", "\ufb00", {"\u4e2d", "\ufb00"}},
      {"\u4e2d", "\ufe2f", {"\u4e2d", "\ufe2f"}},
      {"\u4e2d", "\ufe50", {"\u4e2d", "\ufe50"}},
      {"\u4e2d", "\uffdd", {"\u4e2d", "\uffdd"}},
      {"\u4e2d", "\U00030000", {"\u4e2d", "\U00030000"}},
  };
  for (const Case& c : cases) {
    const std::string tokens = R"([" )" + c.before + R"(", " ", ")" + c.next + R"("])";
    const std::vector<Word> words = words_of(result(tokens, "[0, 1, 2]"), 0.0);
    std::vector<std::string> texts;
    for (const Word& w : words) texts.push_back(w.text);
    EXPECT_EQ(texts, c.words) << tokens;
  }
}

TEST(ReadWords, OnlyTheSpaceByteStartsAWordButAllLeadingWhiteSpaceIsTrimmed) {
  // A tab, a no-break space (U+00A0) and an ideographic space (U+3000) join the previous word.
  expect_words(
      words_of(result(R"([" a", "\tx", "\u00a0y", "\u3000z", " b"])", "[0, 1, 2, 3, 4]"), 0.0),
      {{"axyz", 0.0, 4.0}, {"b", 4.0, 4.1}});
  // Trailing white space stays.
  expect_words(words_of(result(R"([" a\t"])", "[0]"), 0.0), {{"a\t", 0.0, 0.1}});
}

TEST(ReadWords, ExtraTokensOrTimestampsTakeNoPart) {
  expect_words(words_of(result(R"([" a", " b", " c"])", "[0, 1]"), 0.0),
               {{"a", 0.0, 1.0}, {"b", 1.0, 1.1}});
  // The timestamp after the last used token ends it.
  expect_words(words_of(result(R"([" a", " b"])", "[0, 1, 5]"), 0.0),
               {{"a", 0.0, 1.0}, {"b", 1.0, 5.0}});
}

TEST(ReadWords, NoTimestampsMeansNoWords) {
  EXPECT_TRUE(words_of(result(HELLO_WORLD, "[]")).empty());
  EXPECT_TRUE(words_of(result(HELLO_WORLD, "null")).empty());
  EXPECT_TRUE(words_of(R"({"text": "x", "tokens": [" a"]})").empty());
}

TEST(ReadWords, InvalidUtf8InATokenBecomesAReplacementCharacter) {
  expect_words(words_of(result("[\" a\xE2\x96\", \"b\xFF\"]", "[0, 1]"), 0.0), {{"a\xEF\xBF\xBD"
                                                                                 "b\xEF\xBF\xBD",
                                                                                 0.0, 1.1}});
}

TEST(ReadWords, NumbersAreReadAsTheNearestDoubleThenRoundedToFloat) {
  // Just above the midpoint of the floats 1 and 1 + 2^-23: its nearest double is the midpoint
  // itself, which rounds to the even float 1; read straight as a float it would round up.
  expect_words(words_of(result(R"([" a"])", "[1.00000005960464477539062500000000001]"), 0.0),
               {{"a", 1.0, 1.1}});
  // Integers and exponents are numbers too.
  expect_words(words_of(result(R"([" a", " b"])", "[1e-1, 2]"), 0.0),
               {{"a", f32(0.1f), 2.0}, {"b", 2.0, 2.1}});
}

TEST(ReadWords, AnUnreadableResultGivesNoWords) {
  const std::vector<std::string> unreadable = {
      "",
      "not json",
      R"({"tokens": [" a"], "timestamps": [0]})",             // no "text"
      R"({"text": "a", "timestamps": [0]})",                  // no "tokens"
      R"({"text": "a", "tokens": " a", "timestamps": [0]})",  // tokens not an array
      R"({"text": "a", "tokens": [1], "timestamps": [0]})",   // a token not a string
      R"({"text": "a", "tokens": [[" a"]], "timestamps": [0]})",
      R"({"text": 1, "tokens": [" a"], "timestamps": [0]})",      // text not a string
      R"({"text": "a", "tokens": [" a"], "timestamps": ["0"]})",  // a timestamp not a number
      R"({"text": "a", "tokens": [" a"], "timestamps": 0})",
      R"({"text": "a", "tokens": [" a"], "timestamps": [0], "durations": [true]})",
      R"({"text": "a", "tokens": [" a"], "timestamps": [0]} x)",  // trailing characters
      R"({"text": "a", "tokens": [" a"], "timestamps": [0]}{})",
      R"({"text": "a", "text": "a", "tokens": [" a"], "timestamps": [0]})",  // a member twice
      R"({"text": "a", "tokens": [" a"], "timestamps": [0], "lang": "", "lang": ""})",
      R"([{"text": "a", "tokens": [" a"], "timestamps": [0]}])",
      R"({"text": "a", "tokens": [" a"], "timestamps": [nan]})",
      "{\"text\": \"a\", \"tokens\": [\" a\nb\"], \"timestamps\": [0]}",  // a raw control byte
  };
  for (const std::string& text : unreadable) EXPECT_TRUE(words_of(text).empty()) << text;
}

TEST(ReadWords, OtherMembersAreIgnoredWhateverTheyHold) {
  expect_words(
      words_of(R"({"x": {"y": [1, {"z": null}], "w": false}, "text": "a", "tokens": [" a"], )"
               R"("timestamps": [0], "words": [1, 2]}  )",
               0.0),
      {{"a", 0.0, 0.1}});
}

TEST(ReadWords, NoResultTextMeansNoWordsAndNothingToRelease) {
  ScriptedResult::text = nullptr;
  ScriptedResult::released = 0;
  EXPECT_TRUE(read_words(ScriptedResult::calls(), nullptr, 0.0).empty());
  EXPECT_EQ(ScriptedResult::released, 0);
}

}  // namespace
}  // namespace tw

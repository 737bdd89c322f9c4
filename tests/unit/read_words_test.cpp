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

TEST(ReadWords, ATokenThatIsOnlyWhiteSpaceIsIgnored) {
  // The space between " wor" and "ld" neither ends "wor" nor moves its end.
  expect_words(words_of(result(R"([" wor", " ", "ld"])", "[0.0, 0.5, 1.0]"), 0.0),
               {{"world", 0.0, 1.1}});
  // Nor does it make a word of its own when it comes first.
  expect_words(words_of(result(R"([" ", "ab"])", "[0.0, 0.5]"), 0.0), {{"ab", 0.5, 0.6}});
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

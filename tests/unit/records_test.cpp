#include "worker/records.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/json/json_writer.h"

namespace tw {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

std::string string_text(std::string_view text) {
  std::string out;
  append_json_string(out, text);
  return out;
}

TEST(JsonString, EscapesQuoteBackslashAndControlsOnly) {
  EXPECT_EQ(string_text("say \"hi\""), R"("say \"hi\"")");
  EXPECT_EQ(string_text("a\\b"), R"("a\\b")");
  EXPECT_EQ(string_text("\b\t\n\f\r"), R"("\b\t\n\f\r")");
  EXPECT_EQ(string_text(std::string("\0\x01\x0b\x1f", 4)), R"("\u0000\u0001\u000b\u001f")");
  EXPECT_EQ(string_text("a/b\x7f"), "\"a/b\x7f\"");
}

TEST(JsonString, NonAsciiStaysRawUtf8) {
  EXPECT_EQ(string_text("Привет"), "\"Привет\"");
  EXPECT_EQ(string_text("\xF0\x9F\x98\x80 ok"), "\"\xF0\x9F\x98\x80 ok\"");
  EXPECT_EQ(string_text("\xE2\x80\xA8"), "\"\xE2\x80\xA8\"");  // U+2028 too
}

TEST(CompactJson, NoWhiteSpaceAndKeysInByteOrder) {
  nlohmann::json value = nlohmann::json::object();
  value["words"] = nlohmann::json::array({1.5, nullptr, true, false, "x"});
  value["end"] = nlohmann::json::object();
  value["Z"] = nlohmann::json::array();
  value["\xC3\xA9"] = 1;  // sorts after every ASCII key
  EXPECT_EQ(compact_json(value),
            "{\"Z\":[],\"end\":{},\"words\":[1.5,null,true,false,\"x\"],\"\xC3\xA9\":1}");
}

TEST(ReadyRecord, Text) { EXPECT_EQ(compact_json(ready_record()), R"({"ready":true})"); }

TEST(WordsRecord, WorkedExample) {
  std::vector<Word> words = {{"hello", 0.24, 0.56}, {"world", 0.64, 1.2}};
  EXPECT_EQ(compact_json(words_record(32.5, words)),
            R"({"end":32.5,"words":[{"end":0.56,"start":0.24,"text":"hello"},)"
            R"({"end":1.2,"start":0.64,"text":"world"}]})");
}

TEST(WordsRecord, WithoutWordsKeepsTheEnd) {
  EXPECT_EQ(compact_json(words_record(20.01, {})), R"({"end":20.01,"words":[]})");
}

TEST(WordsRecord, NonFiniteTimesAreNullWhereTheyOccur) {
  std::vector<Word> words = {{"a", NaN, 1.0}, {"b", 2.0, -INF}, {"c", 3.0, 4.0}};
  EXPECT_EQ(compact_json(words_record(INF, words)),
            R"({"end":null,"words":[{"end":1.0,"start":null,"text":"a"},)"
            R"({"end":null,"start":2.0,"text":"b"},{"end":4.0,"start":3.0,"text":"c"}]})");
  EXPECT_EQ(compact_json(words_record(NaN, {})), R"({"end":null,"words":[]})");
}

TEST(WordsRecord, TimesKeepEveryDigit) {
  double start = 10.0 + static_cast<double>(0.4f);
  std::vector<Word> words = {{"x", start, 10.0}};
  EXPECT_EQ(compact_json(words_record(1e-6, words)),
            R"({"end":1e-6,"words":[{"end":10.0,"start":10.400000005960464,"text":"x"}]})");
}

TEST(WordsRecord, TextIsEscapedAndTheRecordStaysOneLine) {
  std::vector<Word> words = {{"a\"b\\c\td\x01", 0.0, 1.0},
                             {"line\nbreak/Ёж\xF0\x9F\x98\x80", 1.0, 2.0}};
  std::string text = compact_json(words_record(2.0, words));
  EXPECT_EQ(
      text,
      "{\"end\":2.0,\"words\":[{\"end\":1.0,\"start\":0.0,\"text\":\"a\\\"b\\\\c\\td\\u0001\"},"
      "{\"end\":2.0,\"start\":1.0,\"text\":\"line\\nbreak/Ёж\xF0\x9F\x98\x80\"}]}");
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(WordsRecord, ParsesBackAsTheSameWords) {
  std::vector<Word> words = {{"ünï \"q\"", 0.125, 0.5}, {"\x1f", 1e-7, 2.5e16}};
  nlohmann::json parsed = nlohmann::json::parse(compact_json(words_record(99.75, words)));
  EXPECT_EQ(parsed["end"].get<double>(), 99.75);
  ASSERT_EQ(parsed["words"].size(), 2u);
  EXPECT_EQ(parsed["words"][0]["text"].get<std::string>(), words[0].text);
  EXPECT_EQ(parsed["words"][1]["text"].get<std::string>(), words[1].text);
  EXPECT_EQ(parsed["words"][1]["start"].get<double>(), 1e-7);
  EXPECT_EQ(parsed["words"][1]["end"].get<double>(), 2.5e16);
}

}  // namespace
}  // namespace tw

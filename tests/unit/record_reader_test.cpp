#include "subtitles/record_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw::subtitles {
namespace {

// Reads `lines` in order; the result of each: "ready", "blank", "words N end", "worker: REASON"
// or the error.
std::vector<std::string> read_all(const std::vector<std::string>& lines) {
  RecordReader reader;
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    Result<RecordLine> record = reader.read(line);
    if (!record) {
      out.push_back(record.error().chain());
    } else if (record->kind == RecordLine::Kind::words) {
      out.push_back("words " + std::to_string(record->words.size()) + " " +
                    std::to_string(record->end));
    } else if (record->kind == RecordLine::Kind::worker_error) {
      out.push_back("worker: " + record->reason);
    } else {
      out.push_back(record->kind == RecordLine::Kind::ready ? "ready" : "blank");
    }
  }
  return out;
}

TEST(RecordReader, ReadsTheWorkersRecordsAndItsErrorLine) {
  EXPECT_EQ(
      read_all({R"({"ready":true})", "",
                R"({"end":20.5,"words":[{"end":1.5,"start":1,"text":"a"}]})",
                R"({"end":20.5,"words":[]})", " \r",
                R"({"end":41.0,"words":[{"end":21,"start":20.5,"text":"b"}]})",
                "error: ffmpeg failed: bad file"}),
      (std::vector<std::string>{"ready", "blank", "words 1 20.500000", "words 0 20.500000", "blank",
                                "words 1 41.000000", "worker: ffmpeg failed: bad file"}));
}

TEST(RecordReader, RefusesLinesThatAreNotRecordsAndRecordsOutOfOrder) {
  const std::string word_at_5 = R"({"end":10.0,"words":[{"end":6,"start":5,"text":"a"}]})";
  const std::vector<std::vector<std::string>> inputs = {
      {"hello"},
      {R"({"end":1.0,"words":[)"},
      {R"({"ready":false})"},
      {R"({"end":null,"words":[]})"},
      {R"({"end":1.0,"words":[{"end":1,"start":0,"text":""}]})"},
      {R"({"end":1.0,"words":[{"end":1,"text":"a"}]})"},
      {R"(["end",1.0])"},
      {word_at_5, R"({"ready":true})"},
      {word_at_5, R"({"end":9.5,"words":[]})"},
      {word_at_5, R"({"end":20.0,"words":[{"end":5,"start":4.5,"text":"b\""}]})"},
      {R"({"end":1.0,"words":[{"end":0.25,"start":0.5,"text":"c"}]})"},
  };
  const std::string not_a_record = "not a record";
  const std::string expected[] = {
      "line 1: " + not_a_record,
      "line 1: " + not_a_record,
      "line 1: " + not_a_record,
      "line 1: " + not_a_record,
      "line 1: " + not_a_record,
      "line 1: " + not_a_record,
      "line 1: " + not_a_record,
      "line 2: record out of order: a ready record after the first record",
      "line 2: record out of order: it ends at 9.5 s, before the record before it (10.0 s)",
      "line 2: record out of order: word \"b\\\"\" starts at 4.5 s, before the word before it "
      "(5.0 s)",
      "line 1: record out of order: word \"c\" ends at 0.25 s, before its start (0.5 s)",
  };
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(read_all(inputs[i]).back(), expected[i]) << inputs[i].back();
  }
}

}  // namespace
}  // namespace tw::subtitles

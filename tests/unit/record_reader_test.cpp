#include "core/subtitles/record_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw::subtitles {
namespace {

// What the reader makes of each line: "ready", "skipped", "words COUNT END", "worker: REASON" or
// the error.
std::vector<std::string> read_all(const std::vector<std::string>& lines) {
  RecordReader reader;
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    Result<RecordLine> record = reader.read(line);
    using Kind = RecordLine::Kind;
    if (!record) {
      out.push_back(record.error().chain());
    } else if (record->kind == Kind::words) {
      out.push_back("words " + std::to_string(record->words.size()) + " " +
                    std::to_string(record->end));
    } else {
      out.push_back(record->kind == Kind::worker_error ? "worker: " + record->reason
                    : record->kind == Kind::ready      ? "ready"
                                                       : "skipped");
    }
  }
  return out;
}

TEST(RecordReader, ReadsRecordsAndRefusesBadOrDisorderedLines) {
  const std::string at_5 = R"({"end":10.0,"words":[{"end":6,"start":5,"text":"a"}]})";
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
      {{R"({"ready":true,"model":"x"})", "", at_5, R"({"end":10.0,"words":[]})", " \r",
        "Fallback to cpu!", R"( {"end":1.0,"words":[)", "error: ffmpeg failed: bad"},
       {"ready", "skipped", "words 1 10.000000", "words 0 10.000000", "skipped", "skipped",
        "skipped", "worker: ffmpeg failed: bad"}},
      {{"{hello", R"({"end":1.0,"words":[)", R"({"ready":false})", R"({"end":null,"words":[]})",
        R"({"end":1.0,"words":[{"end":1,"start":0,"text":""}]})",
        R"({"end":1.0,"words":[{"end":1,"text":"a"}]})", R"(["end",1.0])"},
       {"line 1: not a record", "line 2: not a record", "line 3: not a record",
        "line 4: not a record", "line 5: not a record", "line 6: not a record", "skipped"}},
      {{at_5, R"({"ready":true})"},
       {"words 1 10.000000", "line 2: record out of order: a ready record after the first record"}},
      {{at_5, R"({"end":9.5,"words":[]})"},
       {"words 1 10.000000",
        "line 2: record out of order: it ends at 9.5 s, before the record before it (10.0 s)"}},
      {{at_5, R"({"end":20.0,"words":[{"end":5,"start":4.5,"text":"b\""}]})"},
       {"words 1 10.000000",
        "line 2: record out of order: word \"b\\\"\" starts at 4.5 s, before "
        "the word before it (5.0 s)"}},
      // A byte order mark is skipped at the start of the input only.
      {{"\xEF\xBB\xBF" + at_5, "\xEF\xBB\xBF" + at_5}, {"words 1 10.000000", "skipped"}},
      {{R"({"end":1.0,"words":[{"end":0.25,"start":0.5,"text":"c"}]})"},
       {"line 1: record out of order: word \"c\" ends at 0.25 s, before its start (0.5 s)"}},
  };
  for (const auto& [lines, expected] : cases) EXPECT_EQ(read_all(lines), expected) << lines[0];
}

}  // namespace
}  // namespace tw::subtitles

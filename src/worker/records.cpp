#include "worker/records.h"

#include <cmath>
#include <string>

#include "core/json/json_writer.h"
#include "core/platform/std_streams.h"

namespace tw {
namespace {

nlohmann::json time_value(double seconds) {
  if (!std::isfinite(seconds)) return nullptr;
  return seconds;
}

}  // namespace

nlohmann::json ready_record() { return nlohmann::json::object({{"ready", true}}); }

nlohmann::json words_record(double end, const std::vector<Word>& words) {
  nlohmann::json list = nlohmann::json::array();
  for (const Word& word : words) {
    nlohmann::json entry = nlohmann::json::object();
    entry["text"] = word.text;
    entry["start"] = time_value(word.start);
    entry["end"] = time_value(word.end);
    list.push_back(std::move(entry));
  }
  nlohmann::json record = nlohmann::json::object();
  record["end"] = time_value(end);
  record["words"] = std::move(list);
  return record;
}

Status write_record(nlohmann::json record) {
  std::string line = compact_json(record);
  line += '\n';
  // One write of the whole line: the host sees each record complete, at once.
  return write_stdout_whole(line);
}

Status write_ready_record() { return write_record(ready_record()); }

Status write_words_record(double end, std::vector<Word> words) {
  return write_record(words_record(end, words));
}

}  // namespace tw

#include "core/asr/records_json.h"

#include <cmath>

#include "core/json/json_writer.h"

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

std::string record_line(const nlohmann::json& record) {
  std::string line = compact_json(record);
  line += '\n';
  return line;
}

}  // namespace tw

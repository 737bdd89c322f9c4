#pragma once
// The worker's records, one JSON object per line: {"ready":true} once the recognizer exists,
// then one words record per result:
//   {"end":32.5,"words":[{"end":0.56,"start":0.24,"text":"hello"}]}
// Times that are not finite are written as null.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/asr/word.h"

namespace tw {

nlohmann::json ready_record();
nlohmann::json words_record(double end, const std::vector<Word>& words);

// The record as one line: compact JSON and a line feed.
std::string record_line(const nlohmann::json& record);

}  // namespace tw

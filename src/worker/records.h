#pragma once
// The records on standard output, one JSON object per line: {"ready":true} once the recognizer
// exists, then one words record per result:
//   {"end":32.5,"words":[{"end":0.56,"start":0.24,"text":"hello"}]}
// Times that are not finite are written as null.

#include <vector>

#include <nlohmann/json.hpp>

#include "core/asr/word.h"
#include "core/error.h"

namespace tw {

nlohmann::json ready_record();
nlohmann::json words_record(double end, const std::vector<Word>& words);

// Writes `record` compactly plus one line feed to standard output, whole, under the
// standard-output lock: the record is on the handle when this returns. A failure is the I/O
// error itself. Once output has ended (a stop) no record starts: the call never returns.
Status write_record(nlohmann::json record);

Status write_ready_record();

// The decode stage's delivery of one result; the words are released whatever the outcome.
Status write_words_record(double end, std::vector<Word> words);

}  // namespace tw

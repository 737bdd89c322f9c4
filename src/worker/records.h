#pragma once
// The records on standard output (core/asr/records_json.h), each written whole.

#include <vector>

#include <nlohmann/json.hpp>

#include "core/asr/records_json.h"
#include "core/asr/word.h"
#include "core/error.h"

namespace tw {

// Writes `record` compactly plus one line feed to standard output, whole, under the
// standard-output lock: the record is on the handle when this returns. A failure is the I/O
// error itself. Once output has ended (a stop) no record starts: the call never returns.
Status write_record(nlohmann::json record);

Status write_ready_record();

// The decode stage's delivery of one result; the words are released whatever the outcome.
Status write_words_record(double end, std::vector<Word> words);

}  // namespace tw

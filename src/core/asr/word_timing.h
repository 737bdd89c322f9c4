#pragma once
// Joining the recognizer's sub-word tokens into words with times in the file.

#include <vector>

#include "core/asr/result_json.h"
#include "core/asr/word.h"

namespace tw {

// The words of `result`, whose times are relative to a piece that starts `offset` seconds
// into the file. A token opens a new word when its first byte is a space (0x20), or when it is
// the first one kept; leading Unicode white space is trimmed from every token and a token that
// trims to nothing is ignored altogether. No words without timestamps.
std::vector<Word> build_words(const OfflineRecognizerResult& result, double offset);

}  // namespace tw

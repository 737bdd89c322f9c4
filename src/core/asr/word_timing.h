#pragma once
// Joining the recognizer's sub-word tokens into words with times in the file.

#include <vector>

#include "core/asr/result_json.h"
#include "core/asr/word.h"

namespace tw {

// The words of `result`, whose times are relative to a piece that starts `offset` seconds
// into the file. A token opens a new word when its first byte is a space (0x20), or when it is
// the first one kept; leading Unicode white space is trimmed from every token. A token that
// trims to nothing adds no text and moves no time; when its first byte is a space (the bare
// word-boundary piece "▁"), the next token that leaves text opens a new word unless the
// library's own text has no blank there (library_drops_blank_between: before punctuation,
// between two CJK characters). No words without timestamps.
std::vector<Word> build_words(const OfflineRecognizerResult& result, double offset);

}  // namespace tw

#pragma once
// The words of one decoded stream.

#include <vector>

#include "core/asr/speech_library.h"
#include "core/asr/word.h"

namespace tw {

// Fetches the stream's result text, copies it with invalid UTF-8 repaired, releases the
// library's text and turns the copy into words whose times are shifted by `offset` (the piece's
// start in the file). Every problem with the result gives no words.
std::vector<Word> read_words(const SpeechCalls& calls, StreamHandle stream, double offset);

}  // namespace tw

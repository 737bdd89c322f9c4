#include "core/asr/read_words.h"

#include "core/asr/result_json.h"
#include "core/asr/word_timing.h"
#include "core/text/utf8.h"

namespace tw {

std::vector<Word> read_words(const SpeechCalls& calls, StreamHandle stream, double offset) {
  const char* text = calls.result_json(stream);
  if (text == nullptr) return {};
  const std::string copy = repair_utf8(text);
  calls.release_result_json(text);
  const std::optional<OfflineRecognizerResult> result = parse_recognizer_result(copy);
  if (!result) return {};
  return build_words(*result, offset);
}

}  // namespace tw

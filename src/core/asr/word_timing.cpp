#include "core/asr/word_timing.h"

#include <algorithm>
#include <string_view>

#include "core/text/white_space.h"

namespace tw {
namespace {

// Used when nothing else tells where the last token ends.
constexpr double LAST_TOKEN_SECONDS = 0.1;

}  // namespace

std::vector<Word> build_words(const OfflineRecognizerResult& result, double offset) {
  std::vector<Word> words;
  if (!result.timestamps) return words;
  const std::vector<float>& timestamps = *result.timestamps;
  const std::size_t count = std::min(result.tokens.size(), timestamps.size());
  for (std::size_t i = 0; i < count; ++i) {
    const double start = static_cast<double>(timestamps[i]) + offset;
    double end = start + LAST_TOKEN_SECONDS;
    if (result.durations && i < result.durations->size()) {
      end = start + static_cast<double>((*result.durations)[i]);
    } else if (i + 1 < timestamps.size()) {
      end = static_cast<double>(timestamps[i + 1]) + offset;
    }

    const std::string& token = result.tokens[i];
    const bool opens_word = words.empty() || (!token.empty() && token[0] == ' ');
    const std::string_view text = trim_leading_unicode_white_space(token);
    if (text.empty()) continue;
    if (opens_word) {
      words.push_back(Word{std::string(text), start, end});
    } else {
      words.back().text += text;
      words.back().end = end;
    }
  }
  return words;
}

}  // namespace tw

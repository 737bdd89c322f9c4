#include "core/asr/word_timing.h"

#include <algorithm>
#include <string_view>

#include "core/asr/result_text_blanks.h"
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
  bool space_pending = false;  // a token of white space led by a space came after the last text
  for (std::size_t i = 0; i < count; ++i) {
    const double start = static_cast<double>(timestamps[i]) + offset;
    double end = start + LAST_TOKEN_SECONDS;
    if (result.durations && i < result.durations->size()) {
      end = start + static_cast<double>((*result.durations)[i]);
    } else if (i + 1 < timestamps.size()) {
      end = static_cast<double>(timestamps[i + 1]) + offset;
    }

    const std::string& token = result.tokens[i];
    const bool space_first = !token.empty() && token[0] == ' ';
    const std::string_view text = trim_leading_unicode_white_space(token);
    if (text.empty()) {
      // No text and no time; but a space (the bare word-boundary piece) still parts the words
      // on either side, as it does in the library's own text.
      space_pending = space_pending || space_first;
      continue;
    }
    const bool opens_word =
        words.empty() || space_first ||
        (space_pending && !library_drops_blank_between(words.back().text, text));
    space_pending = false;
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

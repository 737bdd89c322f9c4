#include "core/asr/word_timing.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace tw {
namespace {

// Used when nothing else tells where the last token ends.
constexpr double LAST_TOKEN_SECONDS = 0.1;

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// The first code point of valid UTF-8 `text` and its length in bytes.
std::pair<char32_t, std::size_t> first_code_point(std::string_view text) {
  const auto lead = static_cast<std::uint8_t>(text[0]);
  const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length && i < text.size(); ++i) {
    c = (c << 6) | (static_cast<std::uint8_t>(text[i]) & 0x3F);
  }
  return {c, std::min(length, text.size())};
}

std::string_view trim_leading_white_space(std::string_view text) {
  while (!text.empty()) {
    auto [c, length] = first_code_point(text);
    if (!is_white_space(c)) break;
    text.remove_prefix(length);
  }
  return text;
}

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
    const std::string_view text = trim_leading_white_space(token);
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

#include "core/subtitles/cue.h"

#include <algorithm>
#include <utility>

namespace tw::subtitles {

CueWord cue_word(Word word) {
  const Milliseconds start_ms = to_milliseconds(word.start);
  const Milliseconds end_ms = to_milliseconds(word.end);
  return {std::move(word.text), word.start, word.end, start_ms, end_ms};
}

Milliseconds words_end_ms(const Cue& cue) {
  Milliseconds end = cue.words.front().end_ms;
  for (const CueWord& word : cue.words) end = std::max(end, word.end_ms);
  return end;
}

}  // namespace tw::subtitles

#include "subtitles/cue_builder.h"

#include <limits>
#include <optional>
#include <utility>

#include "subtitles/line_breaker.h"

namespace tw::subtitles {

void CueBuilder::time(std::vector<std::vector<Word>> groups, std::vector<Cue>& final_cues) {
  for (std::vector<Word>& words : groups) {
    Cue cue;
    cue.lines = break_lines(words, limits_.max_line_chars, limits_.max_lines);
    cue.words = std::move(words);
    for (Cue& timed : timing_.add(std::move(cue))) final_cues.push_back(std::move(timed));
  }
}

void CueBuilder::settle_before_held(std::vector<Cue>& final_cues) {
  if (segmenter_.held_start() == std::numeric_limits<double>::infinity()) return;
  if (std::optional<Cue> cue = timing_.next_starts_at(segmenter_.held_start())) {
    final_cues.push_back(std::move(*cue));
  }
}

std::vector<Cue> CueBuilder::add(Word word) {
  std::vector<Cue> final_cues;
  time(segmenter_.add(std::move(word)), final_cues);
  settle_before_held(final_cues);
  return final_cues;
}

std::vector<Cue> CueBuilder::reach(double seconds) {
  std::vector<Cue> final_cues;
  time(segmenter_.reach(seconds), final_cues);
  if (segmenter_.held_start() < seconds) {
    settle_before_held(final_cues);
  } else if (std::optional<Cue> cue = timing_.reach(seconds)) {
    final_cues.push_back(std::move(*cue));
  }
  return final_cues;
}

std::vector<Cue> CueBuilder::finish() {
  std::vector<Cue> final_cues;
  time(segmenter_.finish(), final_cues);
  if (std::optional<Cue> cue = timing_.finish()) final_cues.push_back(std::move(*cue));
  return final_cues;
}

}  // namespace tw::subtitles

#include "core/subtitles/cue_builder.h"

#include <optional>
#include <utility>

#include "core/platform/fail_fast.h"
#include "core/subtitles/line_breaker.h"

namespace tw::subtitles {

CueBuilder::CueBuilder(const CueLimits& limits)
    : limits_(limits), segmenter_(limits), timing_(limits) {
  if (Status valid = limits.validate(); !valid) fail_fast("cue limits: " + valid.error().chain());
}

void CueBuilder::time(std::vector<std::vector<CueWord>> groups, std::vector<Cue>& final_cues) {
  for (std::vector<CueWord>& words : groups) {
    Cue cue;
    cue.lines = break_lines(words, limits_.max_line_chars, limits_.max_lines);
    cue.words = std::move(words);
    for (Cue& timed : timing_.add(std::move(cue))) final_cues.push_back(std::move(timed));
  }
}

void CueBuilder::settle_before_held(std::vector<Cue>& final_cues) {
  const std::optional<Milliseconds> held_start = segmenter_.held_start();
  if (!held_start) return;
  if (std::optional<Cue> cue = timing_.next_starts_at(*held_start)) {
    final_cues.push_back(std::move(*cue));
  }
}

std::vector<Cue> CueBuilder::add(Word word) {
  std::vector<Cue> final_cues;
  time(segmenter_.add(cue_word(std::move(word))), final_cues);
  settle_before_held(final_cues);
  return final_cues;
}

std::vector<Cue> CueBuilder::reach(double seconds) {
  std::vector<Cue> final_cues;
  const Milliseconds ms = to_milliseconds(seconds);
  time(segmenter_.reach(ms), final_cues);
  if (segmenter_.held_start() && *segmenter_.held_start() < ms) {
    settle_before_held(final_cues);
  } else if (std::optional<Cue> cue = timing_.reach(ms)) {
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

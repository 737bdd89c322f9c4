#pragma once
// Turns words into timed cues as they arrive: the segmenter chooses which words go together,
// the line breaker their lines, the timing pass their times. Cues never overlap, keep the least
// gap between them, and hold every word once, in order.
//
// A cue is handed out once it is final: memory holds the segmenter's bounded span and one cue.

#include <vector>

#include "core/subtitles/cue.h"
#include "core/subtitles/segmenter.h"
#include "core/subtitles/timing_pass.h"

namespace tw::subtitles {

class CueBuilder {
 public:
  // `limits` must be valid (CueLimits::validate).
  explicit CueBuilder(const CueLimits& limits);

  // The next word, in the order of the starts (end not before start); its times are made
  // whole milliseconds here. Returns the cues that are final now.
  std::vector<Cue> add(Word word);

  // A promise that no later word starts before `seconds`: cues it makes certain are final.
  std::vector<Cue> reach(double seconds);

  // The input has ended: the cues still open.
  std::vector<Cue> finish();

 private:
  void time(std::vector<std::vector<CueWord>> groups, std::vector<Cue>& final_cues);
  // The words the segmenter holds start the next cue: the cue timed before it may be final.
  void settle_before_held(std::vector<Cue>& final_cues);

  CueLimits limits_;
  Segmenter segmenter_;
  TimingPass timing_;
};

}  // namespace tw::subtitles

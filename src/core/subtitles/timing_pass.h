#pragma once
// Times cues once their words are known. A cue starts at its first word's start (later only
// when the cue before it has to keep its least gap), and ends at its last word's end, then:
// - extended into the following silence to be on screen for the minimum duration and long
//   enough to be read at the reading speed, up to the longest cue;
// - extended to the least gap before the next cue when the gap left would be shorter than the
//   gap that is closed;
// - shortened to keep the least gap before a cue that follows at once, but never more than that
//   gap before its words' end, and never to nothing.
// A cue still shorter than the minimum duration joins the cue after it when the two fit in one
// and no pause longer than the limit parts them.
//
// A cue waits for the start of the next one, or a promise that none starts before a time that
// leaves its end certain; so one cue is held at most.

#include <optional>
#include <vector>

#include "core/subtitles/cue.h"

namespace tw::subtitles {

class TimingPass {
 public:
  explicit TimingPass(const CueLimits& limits) : limits_(limits) {}

  // The next cue's words and lines (times are set here). Returns the cues final now.
  std::vector<Cue> add(Cue cue);

  // The next cue's words start at `ms` (the cue itself is still being made): the cue held is
  // final unless it is too short and may join that cue.
  std::optional<Cue> next_starts_at(Milliseconds ms);

  // A promise that no later cue starts before `ms`.
  std::optional<Cue> reach(Milliseconds ms);

  // No cue follows.
  std::optional<Cue> finish();

 private:
  // The end `cue` wants when nothing follows it closely.
  Milliseconds wanted_end(const Cue& cue) const;
  // Sets `held_`'s end before a cue whose words start at `next_start`; returns the least
  // start the next cue can have.
  Milliseconds settle(Milliseconds next_start);
  bool too_short(const Cue& cue) const;
  // Whether `held_` may take the words of a cue starting at `next_start`: it is too short and
  // no pause parts them.
  bool may_join(Milliseconds next_start) const;
  bool can_join(const Cue& next) const;

  CueLimits limits_;
  std::optional<Cue> held_;
  std::optional<Milliseconds> previous_end_;  // of the last cue handed out
};

}  // namespace tw::subtitles

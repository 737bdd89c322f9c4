#pragma once
// The limits cues are built to; the defaults are the Netflix Timed Text Style Guide's values
// for adult English. Times are whole milliseconds, as every cue rule compares them.

#include <cstddef>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/subtitles/milliseconds.h"

namespace tw::subtitles {

struct CueLimits {
  std::size_t max_line_chars = 42;  // display columns; a longer word gets a line alone
  std::size_t max_lines = 2;
  Milliseconds max_cue_ms = 7000;   // from the first word's start to the last word's end
  Milliseconds pause_ms = 500;      // a longer silence between two words ends a cue
  double max_cps = 20.0;            // reading speed: characters (blanks too) a second shown
  Milliseconds min_cue_ms = 833;    // 5/6 s, as written
  double fps = 24.0;                // the frame rate the gap between cues is counted in
  std::size_t cue_gap_frames = 2;   // the least gap between two cues
  Milliseconds close_gap_ms = 500;  // a shorter gap is closed down to the least gap

  // The least gap between two cues: cue_gap_frames at fps, rounded.
  Milliseconds min_gap_ms() const;
  // One frame at fps, rounded, and at least a millisecond: the shortest a cue is shown.
  Milliseconds frame_ms() const;
  // The least time in which `characters` are read at max_cps.
  Milliseconds reading_ms(std::size_t characters) const;

  // Why these limits cannot build cues: a count of 0, a reading speed that is not a positive
  // number, a frame rate under 1, a least gap between cues over a second, a time outside
  // 0..MAX_LIMIT_MS.
  Status validate() const;
  // "limits: 42 columns a line, 2 lines, ..." as the quality report shows them, with a line feed.
  std::string text() const;
};

// The limits of a style: "netflix" (the Netflix Timed Text Style Guide, adult English: the
// defaults) or "bbc" (the BBC Subtitle Guidelines: 37 characters a line, 25 frames a second).
Result<CueLimits> style_named(std::string_view name);

}  // namespace tw::subtitles

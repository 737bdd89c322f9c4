#pragma once
// A subtitle cue: the words shown together, their lines and the time they are on screen.

#include <cstddef>
#include <string>
#include <vector>

#include "core/asr/word.h"

namespace tw::subtitles {

// The limits cues are built to; the defaults are the Netflix Timed Text Style Guide's values
// for adult English.
struct CueLimits {
  std::size_t max_line_chars = 42;  // display columns; a longer word gets a line alone
  std::size_t max_lines = 2;
  double max_cue_seconds = 7.0;  // from the first word's start to the last word's end
  double pause_seconds = 0.5;    // a silence longer than this between two words may end a cue
  double max_cps = 20.0;         // reading speed: characters (blanks too) a second shown
  double min_cue_seconds = 5.0 / 6.0;
  double fps = 24.0;               // the frame rate the gap between cues is counted in
  std::size_t cue_gap_frames = 2;  // the least gap between two cues
  double close_gap_seconds = 0.5;  // a shorter gap is closed down to the least gap

  double min_gap_seconds() const { return static_cast<double>(cue_gap_frames) / fps; }
};

struct Cue {
  double start = 0.0;  // never before the first word's start
  double end = 0.0;    // at least a written millisecond after `start`, and no earlier than the
                       // least gap before the words' end
  std::vector<std::string> lines;  // the words, broken between words
  std::vector<Word> words;
};

}  // namespace tw::subtitles

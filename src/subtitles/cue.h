#pragma once
// A subtitle cue: the words shown together, their lines and the time they are on screen.

#include <cstddef>
#include <string>
#include <vector>

#include "core/asr/word.h"

namespace tw::subtitles {

struct CueLimits {
  std::size_t max_line_chars = 42;  // characters (code points); a longer word gets a line alone
  std::size_t max_lines = 2;
  double max_cue_seconds = 7.0;  // from the first word's start to the last word's end
  double pause_seconds = 0.5;    // a silence longer than this between two words ends the cue
};

struct Cue {
  double start = 0.0;  // the first word's start, or the previous cue's end if that is later
  double end = 0.0;    // the latest end of its words, at least a written millisecond after `start`
  std::vector<std::string> lines;  // the word texts joined by blanks, broken between words
  std::vector<Word> words;
};

}  // namespace tw::subtitles

#pragma once
// A subtitle cue: the words shown together, their lines and the time they are on screen.

#include <string>
#include <vector>

#include "core/asr/word.h"
#include "core/subtitles/cue_limits.h"
#include "core/subtitles/milliseconds.h"

namespace tw::subtitles {

// A word as cues hold it: the record's text and times, and those times in whole milliseconds,
// which every cue rule compares.
struct CueWord {
  std::string text;
  double start = 0.0;  // the record's own times, which the json document keeps
  double end = 0.0;
  Milliseconds start_ms = 0;
  Milliseconds end_ms = 0;
};

// `word` with its times converted (to_milliseconds).
CueWord cue_word(Word word);

struct Cue {
  Milliseconds start_ms = 0;       // never before the first word's start
  Milliseconds end_ms = 0;         // after `start_ms`, and no earlier than the least gap before the
                                   // words' end
  std::vector<std::string> lines;  // the words, broken between words
  std::vector<CueWord> words;
};

// The latest end among the cue's words (not empty).
Milliseconds words_end_ms(const Cue& cue);

}  // namespace tw::subtitles

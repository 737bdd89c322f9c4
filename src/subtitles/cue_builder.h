#pragma once
// Groups words into cues as they arrive. A cue ends after a word that ends a sentence, before a
// word that follows a pause, and before a word that would break a length limit (line count or
// cue duration; a word too long for any line takes a line of its own). Cues never overlap: a
// cue starts no earlier than the one before it ends, and ends at least a millisecond (as
// written) after it starts.
//
// A cue is handed out as soon as it is final, so memory holds one open cue at most.

#include <cstddef>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "subtitles/cue.h"

namespace tw::subtitles {

class CueBuilder {
 public:
  explicit CueBuilder(const CueLimits& limits) : limits_(limits) {}

  // The next word, in the order of the starts (end not before start). Returns the cues that
  // are final now: none, one or two.
  std::vector<Cue> add(Word word);

  // A promise that no later word starts before `seconds`. The open cue is final when the
  // pause up to there, or its duration to there, already rules out another word.
  std::optional<Cue> reach(double seconds);

  // The input has ended: the open cue, if any.
  std::optional<Cue> finish();

 private:
  enum class Placement { same_line, new_line, new_cue };

  Placement place_of(const Word& word) const;
  Cue close();

  CueLimits limits_;
  Cue open_;                // no words: no cue is open
  double words_end_ = 0.0;  // the latest end among the open cue's words
  double previous_end_ = -std::numeric_limits<double>::infinity();  // of the last cue handed out
};

// Whether `text` ends a sentence: its last character, after closing quotes and brackets, is
// one of . ! ? … 。 ！ ？
bool ends_sentence(std::string_view text);

// The length of `text` in characters (code points) as a line counts them.
std::size_t character_count(std::string_view text);

}  // namespace tw::subtitles

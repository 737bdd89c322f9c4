#pragma once
// What a person needs to decide whether a subtitle document wants a human pass: for each style
// rule, how many cues of the document still break it and why, and where the first of them are.
// It reads the cues as they are written, holding the one before and a bounded list of examples.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/subtitles/cue.h"

namespace tw::subtitles {

class QualityReport {
 public:
  explicit QualityReport(const CueLimits& limits) : limits_(limits) {}

  // The next cue written, in order.
  void add(const Cue& cue);

  // The report, plain text lines.
  std::string text();

  enum Rule : std::size_t {
    too_short_next_follows,  // shorter than the minimum: the next cue follows at once
    too_short_other,         // shorter than the minimum: the document's last cue or a limit
    too_fast_speech,         // faster than the reading speed: the words themselves are faster
    too_fast_no_gap,         // faster: no gap after it to extend into
    too_fast_longest,        // faster: at its longest duration
    gap_under_minimum,
    gap_left_open,
    wide_line,            // a line (or more) wider than the limit: a word wider than a line
    too_many_lines,       // more lines than the limit: words wider than a line
    break_after_binding,  // two lines broken after an article, pronoun ... where another fits
    punctuation_ignored,  // two lines not broken at clause punctuation that fits
    lone_word_line,       // one word alone on a line where another break fits
    sentence_tail,        // a 1-2 word sentence tail alone in a cue
    abbreviation_split,   // the cue ends inside an abbreviation, an initial or a number
    rule_count
  };
  std::size_t count(Rule rule) const { return counts_[rule]; }

 private:
  void note(Rule rule, const Cue& cue);
  void check_lines(const Cue& cue);
  void finish_previous(std::optional<Milliseconds> next_start);

  CueLimits limits_;
  std::optional<Cue> previous_;  // waits for the next cue's start
  std::size_t cue_number_ = 0;   // of `previous_`
  std::size_t cues_ = 0;
  std::size_t two_line_cues_ = 0;
  std::size_t words_ = 0;
  std::size_t counts_[rule_count] = {};
  std::vector<std::string> examples_;  // the first MAX_EXAMPLES cues that break a rule
};

}  // namespace tw::subtitles

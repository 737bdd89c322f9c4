#pragma once
// The lines of a cue. A cue takes as few lines as its words fill (a word wider than a line
// alone on its own); among the breaks into that many lines the cheapest wins: a break at a
// sentence end or clause punctuation, else before a conjunction or preposition, never after an
// article, pronoun or auxiliary when another fits; lines bottom-heavy (each no wider than the
// next) or balanced; never one word alone on a line when another break fits.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "core/subtitles/cue.h"

namespace tw::subtitles {

// Fills lines word by word, as a cue grows: the fewest lines that can hold the words so far.
class LineFill {
 public:
  explicit LineFill(std::size_t max_width) : max_width_(max_width) {}
  void add(const CueWord& word);
  std::size_t lines() const { return lines_; }
  std::size_t width() const { return total_width_; }  // of the words on one line

 private:
  std::size_t max_width_;
  std::size_t lines_ = 0;
  std::size_t line_width_ = 0;
  std::size_t total_width_ = 0;
  std::string last_;  // the text of the last word added; empty before the first
};

// The fewest lines of at most `max_width` columns that hold `words`.
std::size_t lines_needed(std::span<const CueWord> words, std::size_t max_width);

// Where the lines of `words` start (the first is 0), at most `max_lines` unless the words need
// more. `words` is not empty.
std::vector<std::size_t> line_starts(std::span<const CueWord> words, std::size_t max_width,
                                     std::size_t max_lines);

// The lines' texts for those starts.
std::vector<std::string> break_lines(std::span<const CueWord> words, std::size_t max_width,
                                     std::size_t max_lines);

}  // namespace tw::subtitles

#pragma once
// Cuts the stream of words into the word groups of cues. Words are held until a sentence end
// or a silence of HARD_PAUSE_MS closes the span they belong to (or the span reaches its
// bound), and the span is cut where the sum of the cue costs is least:
// - a break costs what `break_cost` says: nothing at a sentence end or a pause, little at
//   clause punctuation, more before a conjunction or preposition, much after an article,
//   pronoun or auxiliary, most inside an abbreviation or a number;
// - every cue costs a little, and more the emptier it is, so a long sentence spreads evenly;
// - a cue of one or two words that is not a whole sentence costs much (no stray tails);
// - a cue that cannot be shown for the minimum duration before the next word (a flash) costs
//   most, and one that cannot be read at the reading speed costs by how far it is off.
// A span closes only where its cues would not be a flash, so a short sentence can share a cue
// with the next one when no pause parts them.
// A cue never breaks a hard limit: it holds no silence longer than `pause_ms` between its
// words, and keeps to the lines (by display width) and the duration unless it is one word.
//
// The span is bounded by MAX_SPAN_WORDS and MAX_SPAN_MS: at the bound its cues but the
// last are final, and the last one's words begin the next span. So memory is bounded, and a
// cue is handed out at most that long after its first word arrives.

#include <cstddef>
#include <optional>
#include <vector>

#include "core/subtitles/cue.h"

namespace tw::subtitles {

inline constexpr std::size_t MAX_SPAN_WORDS = 60;
inline constexpr Milliseconds MAX_SPAN_MS = 15'000;
// A silence this long ends a span even inside a sentence (a pause ends a cue anyway).
inline constexpr Milliseconds HARD_PAUSE_MS = 2'000;

class Segmenter {
 public:
  explicit Segmenter(const CueLimits& limits) : limits_(limits) {}

  // The next word, in the order of the starts. Returns the cues' words that are final now.
  std::vector<std::vector<CueWord>> add(CueWord word);

  // A promise that no later word starts before `ms`.
  std::vector<std::vector<CueWord>> reach(Milliseconds ms);

  // The input has ended: the rest.
  std::vector<std::vector<CueWord>> finish();

  // The start of the first word held, if any is.
  std::optional<Milliseconds> held_start() const {
    if (span_.empty()) return std::nullopt;
    return span_.front().start_ms;
  }

 private:
  Milliseconds hard_pause() const;
  // Whether the span can end before a word starting at `next_start` without being a flash.
  bool can_close(Milliseconds next_start) const;
  // Cuts the span; `next_start` is the start of the word after it, if one is known. Unless
  // `whole`, the last cue's words stay for the next span.
  std::vector<std::vector<CueWord>> cut(std::optional<Milliseconds> next_start, bool whole);

  CueLimits limits_;
  std::vector<CueWord> span_;
  Milliseconds span_end_ = 0;         // the latest end among the span's words
  bool span_starts_sentence_ = true;  // false after a cut at the bound
};

}  // namespace tw::subtitles

#include "core/subtitles/timing_pass.h"

#include <algorithm>
#include <utility>

#include "core/subtitles/display_width.h"
#include "core/subtitles/line_breaker.h"

namespace tw::subtitles {
namespace {

// A cue is on screen for a frame at least, so it always ends after it starts.
Milliseconds shown_end(const Cue& cue, Milliseconds end, const CueLimits& limits) {
  return std::max(end, cue.start_ms + limits.frame_ms());
}

std::size_t characters(const Cue& cue) {
  std::size_t count = cue.lines.empty() ? 0 : cue.lines.size() - 1;  // a blank for each break
  for (const std::string& line : cue.lines) count += character_count(line);
  return count;
}

}  // namespace

Milliseconds TimingPass::wanted_end(const Cue& cue) const {
  const Milliseconds last = words_end_ms(cue);
  const Milliseconds reading = limits_.reading_ms(characters(cue));
  const Milliseconds longest = std::max(limits_.max_cue_ms, last - cue.start_ms);
  return std::max(last, cue.start_ms + std::min(std::max(limits_.min_cue_ms, reading), longest));
}

Milliseconds TimingPass::settle(Milliseconds next_start) {
  Cue& cue = *held_;
  const Milliseconds min_gap = limits_.min_gap_ms();
  const Milliseconds wanted = wanted_end(cue);
  const Milliseconds latest = next_start - min_gap;
  Milliseconds end =
      next_start - wanted < std::max(limits_.close_gap_ms, min_gap) ? latest : wanted;
  end = std::max(end, words_end_ms(cue) - min_gap);
  cue.end_ms = shown_end(cue, end, limits_);
  return cue.end_ms + min_gap;
}

bool TimingPass::too_short(const Cue& cue) const {
  return cue.end_ms - cue.start_ms < limits_.min_cue_ms;
}

bool TimingPass::may_join(Milliseconds next_start) const {
  return too_short(*held_) && next_start - words_end_ms(*held_) <= limits_.pause_ms;
}

bool TimingPass::can_join(const Cue& next) const {
  const CueWord& first = held_->words.front();
  if (!may_join(next.words.front().start_ms)) return false;
  if (std::max(words_end_ms(*held_), words_end_ms(next)) - first.start_ms > limits_.max_cue_ms) {
    return false;
  }
  std::vector<CueWord> words = held_->words;
  words.insert(words.end(), next.words.begin(), next.words.end());
  return lines_needed(words, limits_.max_line_chars) <= limits_.max_lines;
}

std::vector<Cue> TimingPass::add(Cue cue) {
  std::vector<Cue> final_cues;
  const Milliseconds words_start = cue.words.front().start_ms;
  if (held_) {
    const Milliseconds earliest_next = settle(words_start);
    if (can_join(cue)) {
      held_->words.insert(held_->words.end(), std::make_move_iterator(cue.words.begin()),
                          std::make_move_iterator(cue.words.end()));
      held_->lines = break_lines(held_->words, limits_.max_line_chars, limits_.max_lines);
      return final_cues;
    }
    final_cues.push_back(*std::exchange(held_, std::nullopt));
    previous_end_ = final_cues.back().end_ms;
    cue.start_ms = std::max(words_start, earliest_next);
  } else {
    cue.start_ms =
        previous_end_ ? std::max(words_start, *previous_end_ + limits_.min_gap_ms()) : words_start;
  }
  held_ = std::move(cue);
  return final_cues;
}

std::optional<Cue> TimingPass::next_starts_at(Milliseconds ms) {
  if (!held_) return std::nullopt;
  settle(ms);
  if (may_join(ms)) return std::nullopt;
  previous_end_ = held_->end_ms;
  return std::exchange(held_, std::nullopt);
}

std::optional<Cue> TimingPass::reach(Milliseconds ms) {
  if (!held_) return std::nullopt;
  const Milliseconds gap_needed = std::max(limits_.close_gap_ms, limits_.min_gap_ms());
  if (ms - wanted_end(*held_) < gap_needed) return std::nullopt;
  settle(ms);
  previous_end_ = held_->end_ms;
  return std::exchange(held_, std::nullopt);
}

std::optional<Cue> TimingPass::finish() {
  if (!held_) return std::nullopt;
  held_->end_ms = shown_end(*held_, wanted_end(*held_), limits_);
  previous_end_ = held_->end_ms;
  return std::exchange(held_, std::nullopt);
}

}  // namespace tw::subtitles

#include "subtitles/timing_pass.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "subtitles/cue_text.h"
#include "subtitles/display_width.h"
#include "subtitles/line_breaker.h"

namespace tw::subtitles {
namespace {

double words_end(const Cue& cue) {
  double end = cue.words.front().end;
  for (const Word& word : cue.words) end = std::max(end, word.end);
  return end;
}

// A cue is on screen for a frame at least, and ends a written millisecond after it starts (past
// 10^12 s, where the written times stop, at least at the next representable time).
double shown_end(const Cue& cue, double end, double fps) {
  return std::max({end, cue.start + 1.0 / fps, next_millisecond(cue.start),
                   std::nextafter(cue.start, std::numeric_limits<double>::infinity())});
}

std::size_t characters(const Cue& cue) {
  std::size_t count = cue.lines.empty() ? 0 : cue.lines.size() - 1;  // a blank for each break
  for (const std::string& line : cue.lines) count += character_count(line);
  return count;
}

}  // namespace

double TimingPass::wanted_end(const Cue& cue) const {
  const double last = words_end(cue);
  const double reading = static_cast<double>(characters(cue)) / limits_.max_cps;
  const double longest = std::max(limits_.max_cue_seconds, last - cue.start);
  return std::max(last, cue.start + std::min(std::max(limits_.min_cue_seconds, reading), longest));
}

double TimingPass::settle(double next_start) {
  Cue& cue = *held_;
  const double min_gap = limits_.min_gap_seconds();
  const double wanted = wanted_end(cue);
  const double latest = next_start - min_gap;
  double end = next_start - wanted < std::max(limits_.close_gap_seconds, min_gap) ? latest : wanted;
  end = std::max(end, words_end(cue) - min_gap);
  cue.end = shown_end(cue, end, limits_.fps);
  return cue.end + min_gap;
}

bool TimingPass::can_join(const Cue& next) const {
  if (held_->end - held_->start >= limits_.min_cue_seconds) return false;
  if (std::max(words_end(*held_), words_end(next)) - held_->words.front().start >
      limits_.max_cue_seconds) {
    return false;
  }
  std::vector<Word> words = held_->words;
  words.insert(words.end(), next.words.begin(), next.words.end());
  return lines_needed(words, limits_.max_line_chars) <= limits_.max_lines;
}

std::vector<Cue> TimingPass::add(Cue cue) {
  std::vector<Cue> final_cues;
  if (held_) {
    const double earliest_next = settle(cue.words.front().start);
    if (can_join(cue)) {
      held_->words.insert(held_->words.end(), std::make_move_iterator(cue.words.begin()),
                          std::make_move_iterator(cue.words.end()));
      held_->lines = break_lines(held_->words, limits_.max_line_chars, limits_.max_lines);
      return final_cues;
    }
    final_cues.push_back(*std::exchange(held_, std::nullopt));
    cue.start = std::max(cue.words.front().start, earliest_next);
  } else {
    cue.start = std::max(cue.words.front().start, previous_end_ + limits_.min_gap_seconds());
  }
  if (!final_cues.empty()) previous_end_ = final_cues.back().end;
  held_ = std::move(cue);
  return final_cues;
}

std::optional<Cue> TimingPass::next_starts_at(double seconds) {
  if (!held_) return std::nullopt;
  settle(seconds);
  if (held_->end - held_->start < limits_.min_cue_seconds) return std::nullopt;
  previous_end_ = held_->end;
  return std::exchange(held_, std::nullopt);
}

std::optional<Cue> TimingPass::reach(double seconds) {
  if (!held_) return std::nullopt;
  const double gap_needed = std::max(limits_.close_gap_seconds, limits_.min_gap_seconds());
  if (seconds - wanted_end(*held_) < gap_needed) return std::nullopt;
  settle(seconds);
  previous_end_ = held_->end;
  return std::exchange(held_, std::nullopt);
}

std::optional<Cue> TimingPass::finish() {
  if (!held_) return std::nullopt;
  held_->end = shown_end(*held_, wanted_end(*held_), limits_.fps);
  previous_end_ = held_->end;
  return std::exchange(held_, std::nullopt);
}

}  // namespace tw::subtitles

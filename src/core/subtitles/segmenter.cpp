#include "core/subtitles/segmenter.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "core/subtitles/display_width.h"
#include "core/subtitles/word_kinds.h"

namespace tw::subtitles {
namespace {

constexpr double INFEASIBLE = std::numeric_limits<double>::infinity();
constexpr double CUE_COST = 1.0;
constexpr double EMPTINESS_COST = 3.0;  // times the square of the cue's unused share
constexpr double TAIL_COST = 20.0;      // one or two words ending a sentence begun before
constexpr double FRAGMENT_COST = 8.0;   // one or two words, not a whole sentence
constexpr double FLASH_COST = 30.0;
constexpr double SPEED_COST = 10.0;  // times the share by which the reading speed is exceeded

// A cue being considered: words [first, end) of the span.
struct Candidate {
  std::size_t first = 0;
  std::size_t end = 0;
  Milliseconds words_end = 0;
  std::size_t characters = 0;  // with one blank between words, as reading speed counts
};

}  // namespace

Milliseconds Segmenter::hard_pause() const { return std::max(limits_.pause_ms, HARD_PAUSE_MS); }

bool Segmenter::can_close(Milliseconds next_start) const {
  return next_start - limits_.min_gap_ms() - span_.front().start_ms >= limits_.min_cue_ms;
}

std::vector<std::vector<CueWord>> Segmenter::add(CueWord word) {
  std::vector<std::vector<CueWord>> cues;
  if (!span_.empty()) {
    const bool boundary = sentence_ends_between(span_.back().text, word.text) ||
                          word.start_ms - span_end_ > hard_pause();
    if (boundary && can_close(word.start_ms)) cues = cut(word.start_ms, true);
  }
  span_end_ = span_.empty() ? word.end_ms : std::max(span_end_, word.end_ms);
  span_.push_back(std::move(word));
  if (span_.size() >= MAX_SPAN_WORDS || span_end_ - span_.front().start_ms >= MAX_SPAN_MS) {
    std::vector<std::vector<CueWord>> more = cut(std::nullopt, false);
    cues.insert(cues.end(), std::make_move_iterator(more.begin()),
                std::make_move_iterator(more.end()));
  }
  return cues;
}

std::vector<std::vector<CueWord>> Segmenter::reach(Milliseconds ms) {
  if (span_.empty() || !can_close(ms)) return {};
  const CueWord& last = span_.back();
  const bool sentence_end = ends_sentence(last.text) && !sentence_end_needs_next(last.text) &&
                            sentence_ends_between(last.text, "");
  if (sentence_end || ms - span_end_ > hard_pause()) return cut(ms, true);
  return {};
}

std::vector<std::vector<CueWord>> Segmenter::finish() {
  if (span_.empty()) return {};
  return cut(std::nullopt, true);
}

std::vector<std::vector<CueWord>> Segmenter::cut(std::optional<Milliseconds> next_start,
                                                 bool whole) {
  const std::size_t n = span_.size();
  const Milliseconds min_gap = limits_.min_gap_ms();
  // In floating point: the product of two huge limits would wrap around as an integer.
  const double capacity =
      static_cast<double>(limits_.max_lines) * static_cast<double>(limits_.max_line_chars);
  // What each word brings, worked out once: a cut tries each word in many candidate cues.
  std::vector<std::size_t> characters(n), width(n), blank_before(n, 0);
  std::vector<double> break_after(n, 0.0);
  std::vector<bool> sentence_end_after(n);  // the span's end counts as one when `whole`
  for (std::size_t i = 0; i < n; ++i) {
    characters[i] = character_count(span_[i].text);
    width[i] = display_width(span_[i].text);
    if (i > 0 && !joins_without_blank(span_[i - 1].text, span_[i].text)) blank_before[i] = 1;
    sentence_end_after[i] =
        i + 1 < n ? sentence_ends_between(span_[i].text, span_[i + 1].text) : whole;
    if (i + 1 < n) break_after[i] = break_cost(span_[i].text, span_[i + 1].text);
  }

  auto cost_of = [&](const Candidate& cue, double width) {
    const CueWord& first = span_[cue.first];
    const std::size_t words = cue.end - cue.first;
    double cost = CUE_COST;
    if (cue.end < n) {
      const Milliseconds pause = span_[cue.end].start_ms - cue.words_end;
      const double at = break_after[cue.end - 1];
      cost += pause > limits_.pause_ms ? std::min(at, BREAK_AT_SENTENCE_END) : at;
    }
    const double unused = 1.0 - std::min(width / capacity, 1.0);
    cost += EMPTINESS_COST * unused * unused;
    const bool starts_sentence =
        cue.first == 0 ? span_starts_sentence_ : sentence_end_after[cue.first - 1];
    if (words <= 2 && !starts_sentence) {
      cost += sentence_end_after[cue.end - 1] ? TAIL_COST : FRAGMENT_COST;
    } else if (words <= 2 && !sentence_end_after[cue.end - 1]) {
      cost += FRAGMENT_COST;
    }
    // The longest it can be shown: into the gap before the next word, within the cue length.
    const std::optional<Milliseconds> next =
        cue.end < n ? std::optional(span_[cue.end].start_ms) : next_start;
    const Milliseconds longest = std::max(limits_.max_cue_ms, cue.words_end - first.start_ms);
    Milliseconds last_end = first.start_ms + longest;
    if (next) last_end = std::min(last_end, *next - min_gap);
    const Milliseconds shown = last_end - first.start_ms;
    if (shown < limits_.min_cue_ms) cost += FLASH_COST;
    if (shown < limits_.reading_ms(cue.characters)) {
      const double speed = static_cast<double>(cue.characters) * 1000.0 /
                           static_cast<double>(std::max<Milliseconds>(shown, 1));
      cost += SPEED_COST * std::min(speed / limits_.max_cps - 1, 4.0);
    }
    return cost;
  };

  // best[j]: the least cost of cues covering span_[0..j); from[j]: where the last one starts.
  std::vector<double> best(n + 1, INFEASIBLE);
  std::vector<std::size_t> from(n + 1, 0);
  best[0] = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (best[i] == INFEASIBLE) continue;
    // The fewest lines that hold the cue, filled word by word (as LineFill does).
    std::size_t lines = 1, line_width = width[i], one_line_width = width[i];
    Candidate cue{.first = i, .end = i, .words_end = span_[i].end_ms};
    for (std::size_t j = i; j < n; ++j) {
      const CueWord& word = span_[j];
      if (j > i) {
        // A pause ends a cue: no longer cue from i holds less silence.
        if (word.start_ms - cue.words_end > limits_.pause_ms) break;
        cue.characters += blank_before[j];
        one_line_width += blank_before[j] + width[j];
        if (line_width + blank_before[j] + width[j] <= limits_.max_line_chars) {
          line_width += blank_before[j] + width[j];
        } else {
          ++lines;
          line_width = width[j];
        }
      }
      cue.words_end = std::max(cue.words_end, word.end_ms);
      cue.characters += characters[j];
      cue.end = j + 1;
      const bool one_word = j == i;
      if (!one_word &&
          (lines > limits_.max_lines || cue.words_end - span_[i].start_ms > limits_.max_cue_ms)) {
        break;
      }
      const double cost = best[i] + cost_of(cue, static_cast<double>(one_line_width));
      if (cost < best[j + 1]) {
        best[j + 1] = cost;
        from[j + 1] = i;
      }
    }
  }

  std::vector<std::size_t> starts;
  for (std::size_t j = n; j > 0; j = from[j]) starts.push_back(from[j]);
  std::ranges::reverse(starts);
  // At the bound the last cue waits for the words after it, unless it is the whole span.
  const std::size_t kept_from = whole || starts.size() == 1 ? n : starts.back();
  std::vector<std::vector<CueWord>> cues;
  for (std::size_t c = 0; c < starts.size() && starts[c] < kept_from; ++c) {
    const std::size_t end = c + 1 < starts.size() ? starts[c + 1] : n;
    cues.emplace_back(
        std::make_move_iterator(span_.begin() + static_cast<std::ptrdiff_t>(starts[c])),
        std::make_move_iterator(span_.begin() + static_cast<std::ptrdiff_t>(end)));
  }
  span_starts_sentence_ = kept_from == n || sentence_end_after[kept_from - 1];
  span_.erase(span_.begin(), span_.begin() + static_cast<std::ptrdiff_t>(kept_from));
  span_end_ = 0;
  for (const CueWord& word : span_) span_end_ = std::max(span_end_, word.end_ms);
  return cues;
}

}  // namespace tw::subtitles

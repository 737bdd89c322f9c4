#include "core/subtitles/quality_report.h"

#include <algorithm>
#include <cstdio>

#include "core/subtitles/cue_text.h"
#include "core/subtitles/display_width.h"
#include "core/subtitles/line_breaker.h"
#include "core/subtitles/word_kinds.h"

namespace tw::subtitles {
namespace {

constexpr std::size_t MAX_EXAMPLES = 20;

struct RuleText {
  const char* heading;  // nullptr: a reason under the heading before
  const char* text;
};

// In the order of QualityReport::Rule.
constexpr RuleText RULE_TEXTS[] = {
    {"shorter than the minimum duration",
     "the next cue follows at once and both do not fit in one"},
    {nullptr, "the last cue, or joining the next would break a limit"},
    {"faster than the reading speed", "the speech itself is faster"},
    {nullptr, "no gap after it to extend into"},
    {nullptr, "already at the longest duration"},
    {"gap to the next cue under the minimum gap", nullptr},
    {"gap under the closed gap left open", nullptr},
    {"a line wider than the limit", "a word wider than a line"},
    {"more lines than the limit", "words wider than a line"},
    {"two lines broken after an article, preposition, conjunction, pronoun or auxiliary "
     "where another break fits",
     nullptr},
    {"two lines not broken at clause punctuation that fits", nullptr},
    {"one word alone on a line where another break fits", nullptr},
    {"a 1-2 word sentence tail alone in a cue", nullptr},
    {"a sentence split at an abbreviation, an initial or a number", nullptr},
};

std::size_t characters(const Cue& cue) {
  std::size_t count = cue.lines.size() - 1;
  for (const std::string& line : cue.lines) count += character_count(line);
  return count;
}

std::string share(std::size_t part, std::size_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %%", whole ? 100.0 * part / whole : 0.0);
  return text;
}

// Where the break between the two lines of `cue` falls, as a count of words on the top line.
std::size_t top_words(const Cue& cue) {
  const std::string top = cue.lines.front();
  for (std::size_t k = 1; k < cue.words.size(); ++k) {
    if (join_words(std::span(cue.words).first(k)) == top) return k;
  }
  return 0;
}

}  // namespace

void QualityReport::note(Rule rule, const Cue& cue) {
  ++counts_[rule];
  if (examples_.size() >= MAX_EXAMPLES) return;
  const RuleText& what = RULE_TEXTS[rule];
  std::size_t heading = rule;
  while (!RULE_TEXTS[heading].heading) --heading;
  std::string line = "cue " + std::to_string(cue_number_) + " at " + clock_time(cue.start_ms, ',') +
                     ": " + RULE_TEXTS[heading].heading;
  if (what.text) line += std::string(" (") + what.text + ")";
  examples_.push_back(line);
}

void QualityReport::check_lines(const Cue& cue) {
  const std::size_t width = limits_.max_line_chars;
  const bool wide = std::ranges::any_of(
      cue.lines, [&](const std::string& line) { return display_width(line) > width; });
  if (wide) note(wide_line, cue);
  if (cue.lines.size() > limits_.max_lines) note(too_many_lines, cue);
  if (cue.lines.size() != 2) return;
  ++two_line_cues_;
  const std::span<const CueWord> words(cue.words);
  const std::size_t top = top_words(cue);
  if (top == 0) return;
  auto fits = [&](std::size_t k) {
    return display_width(join_words(words.first(k))) <= width &&
           display_width(join_words(words.subspan(k))) <= width;
  };
  // Another break is better only if it fits and leaves no word alone (where that is avoidable).
  bool other_unbound = false, punctuation_fits = false, inner_fits = false;
  for (std::size_t k = 1; k < words.size(); ++k) {
    if (k == top || !fits(k)) continue;
    const bool inner = k > 1 && k + 1 < words.size();
    inner_fits = inner_fits || inner;
    if (!inner && words.size() > 3) continue;
    other_unbound = other_unbound || !binds_to_next(words[k - 1].text);
    punctuation_fits =
        punctuation_fits || break_cost(words[k - 1].text, words[k].text) <= BREAK_AT_CLAUSE;
  }
  const double chosen = break_cost(words[top - 1].text, words[top].text);
  if (binds_to_next(words[top - 1].text) && other_unbound) note(break_after_binding, cue);
  if (chosen > BREAK_AT_CLAUSE && punctuation_fits) note(punctuation_ignored, cue);
  if ((top == 1 || top + 1 == words.size()) && inner_fits) note(lone_word_line, cue);
}

void QualityReport::finish_previous(std::optional<Milliseconds> next_start) {
  const Cue& cue = *previous_;
  const Milliseconds min_gap = limits_.min_gap_ms();
  const Milliseconds duration = cue.end_ms - cue.start_ms;
  const bool next_at_once = next_start && *next_start - cue.end_ms <= min_gap;
  if (duration < limits_.min_cue_ms) {
    note(next_at_once ? too_short_next_follows : too_short_other, cue);
  }
  const Milliseconds reading = limits_.reading_ms(characters(cue));
  if (duration < reading) {
    const Milliseconds spoken = words_end_ms(cue) - cue.words.front().start_ms;
    note(spoken < reading ? too_fast_speech
         : next_at_once   ? too_fast_no_gap
                          : too_fast_longest,
         cue);
  }
  if (next_start) {
    const Milliseconds gap = *next_start - cue.end_ms;
    if (gap < min_gap) note(gap_under_minimum, cue);
    if (gap > min_gap && gap < limits_.close_gap_ms) note(gap_left_open, cue);
  }
}

void QualityReport::add(const Cue& cue) {
  if (previous_) {
    finish_previous(cue.start_ms);
    const std::string& last = previous_->words.back().text;
    const std::string& first = cue.words.front().text;
    ++cue_number_;
    const bool starts_sentence = sentence_ends_between(last, first);
    if (break_cost(last, first) == BREAK_INSIDE_ABBREVIATION) note(abbreviation_split, cue);
    if (cue.words.size() <= 2 && !starts_sentence && ends_sentence(cue.words.back().text)) {
      note(sentence_tail, cue);
    }
  } else {
    ++cue_number_;
  }
  previous_ = cue;
  ++cues_;
  words_ += cue.words.size();
  check_lines(cue);
}

std::string QualityReport::text() {
  if (previous_) {
    finish_previous(std::nullopt);
    previous_.reset();
  }
  std::string out = "subtitle quality: " + std::to_string(cues_) + " cues (" +
                    std::to_string(two_line_cues_) + " of two lines), " + std::to_string(words_) +
                    " words\n" + limits_.text();
  std::size_t breaking = 0;
  for (std::size_t rule = 0; rule < rule_count; ++rule) {
    const RuleText& what = RULE_TEXTS[rule];
    const bool line_rule = rule >= break_after_binding && rule <= lone_word_line;
    if (what.heading) {
      std::size_t total = counts_[rule];
      for (std::size_t reason = rule + 1; reason < rule_count && !RULE_TEXTS[reason].heading;
           ++reason) {
        total += counts_[reason];
      }
      breaking += total;
      out += std::string(what.heading) + ": " + std::to_string(total) + " (" +
             share(total, line_rule ? two_line_cues_ : cues_) +
             (line_rule ? " of two-line cues)\n" : ")\n");
    }
    if (what.text && counts_[rule] > 0) {
      out += "  " + std::string(what.text) + ": " + std::to_string(counts_[rule]) + "\n";
    }
  }
  out += breaking == 0 ? "every cue keeps every rule\n"
                       : "cues to look at" +
                             std::string(counts_[too_fast_speech] + counts_[wide_line] > 0
                                             ? " (speech too fast or words too wide cannot be "
                                               "mended by timing: shorten the text)"
                                             : "") +
                             ":\n";
  for (const std::string& example : examples_) out += "  " + example + "\n";
  return out;
}

}  // namespace tw::subtitles

#include "subtitles/cue_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "core/text/utf8.h"
#include "subtitles/cue_text.h"

namespace tw::subtitles {
namespace {

constexpr std::array<std::string_view, 7> SENTENCE_ENDS = {".",      "!",      "?",     "\u2026",
                                                           "\u3002", "\uFF01", "\uFF1F"};
constexpr std::array<std::string_view, 9> CLOSERS = {"\"",     "'",      ")",      "]",     "}",
                                                     "\u2019", "\u201D", "\u00BB", "\u300D"};

bool strip_suffix(std::string_view& text, std::string_view suffix) {
  if (!text.ends_with(suffix)) return false;
  text.remove_suffix(suffix.size());
  return true;
}

}  // namespace

bool ends_sentence(std::string_view text) {
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (std::string_view closer : CLOSERS) stripped = stripped || strip_suffix(text, closer);
  }
  return std::ranges::any_of(SENTENCE_ENDS,
                             [&](std::string_view end) { return text.ends_with(end); });
}

std::size_t character_count(std::string_view text) {
  return static_cast<std::size_t>(
      std::ranges::count_if(text, [](char c) { return !is_utf8_continuation(c); }));
}

CueBuilder::Placement CueBuilder::place_of(const Word& word) const {
  if (open_.words.empty()) return Placement::new_line;
  if (word.start - words_end_ > limits_.pause_seconds) return Placement::new_cue;
  const double end = std::max(words_end_, word.end);
  if (end - open_.words.front().start > limits_.max_cue_seconds) return Placement::new_cue;
  if (character_count(open_.lines.back()) + 1 + character_count(word.text) <=
      limits_.max_line_chars) {
    return Placement::same_line;
  }
  return open_.lines.size() < limits_.max_lines ? Placement::new_line : Placement::new_cue;
}

std::vector<Cue> CueBuilder::add(Word word) {
  std::vector<Cue> final_cues;
  Placement placement = place_of(word);
  if (placement == Placement::new_cue) {
    final_cues.push_back(close());
    placement = Placement::new_line;
  }
  if (placement == Placement::same_line) {
    open_.lines.back() += ' ';
    open_.lines.back() += word.text;
  } else {
    open_.lines.push_back(word.text);
  }
  words_end_ = open_.words.empty() ? word.end : std::max(words_end_, word.end);
  const bool sentence_end = ends_sentence(word.text);
  open_.words.push_back(std::move(word));
  if (sentence_end) final_cues.push_back(close());
  return final_cues;
}

std::optional<Cue> CueBuilder::reach(double seconds) {
  if (open_.words.empty()) return std::nullopt;
  if (seconds - words_end_ > limits_.pause_seconds ||
      seconds - open_.words.front().start > limits_.max_cue_seconds) {
    return close();
  }
  return std::nullopt;
}

std::optional<Cue> CueBuilder::finish() {
  if (open_.words.empty()) return std::nullopt;
  return close();
}

Cue CueBuilder::close() {
  Cue cue = std::exchange(open_, Cue{});
  cue.start = std::max(cue.words.front().start, previous_end_);
  // Words of no length, or overlapping ones, would give a cue that ends where it starts: it
  // lasts at least a millisecond as written, taken from the time after it (past 10^12 s, where
  // the written times stop, at least until the next representable time).
  cue.end = std::max({words_end_, next_millisecond(cue.start),
                      std::nextafter(cue.start, std::numeric_limits<double>::infinity())});
  previous_end_ = cue.end;
  return cue;
}

}  // namespace tw::subtitles

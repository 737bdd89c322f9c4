// transcribe-subtitles' reading of worker records: each line through the record reader, the
// words into cues, the cues through all four document writers, and the SubRip and WebVTT text
// read back by a small reader of their own that finds the same cues, times and lines.
//
// Input: four bytes choosing the cue limits (columns a line, lines a cue, tenths of a second a
// cue, twentieths of a second of pause that ends a cue; from the same bytes the frame rate, the
// least gap, the reading speed, the shortest cue and the gap that is closed), then the record
// lines, separated by line feeds.
//
// Checked on every cue, in the whole milliseconds the documents write: at least the least gap
// after the cue before; a start no earlier than its first word's, an end after the start and no
// earlier than the least gap before its words' end; no silence longer than the pause threshold
// between two of its words; the line and duration limits (unless one word is too wide or too
// long); its lines are its words; and every word read reaches the cues once, in order, its
// times converted as the documents round them. The quality report of the cues counts, for each
// rule and reason, the cues the target finds breaking it by its own reading of the rule.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/subtitles/cue_builder.h"
#include "core/subtitles/display_width.h"
#include "core/subtitles/document_writer.h"
#include "core/subtitles/quality_report.h"
#include "core/subtitles/record_reader.h"
#include "core/subtitles/word_kinds.h"
#include "core/text/utf8.h"
#include "fuzz_check.h"

namespace {

using tw::fuzz::expect;
using namespace tw::subtitles;

constexpr std::size_t LIMIT_BYTES = 4;
// The shortest cue, chosen by the top three bits of the second byte: the default first.
constexpr std::int64_t MIN_CUE_MS[] = {833, 1, 400, 700, 1000, 1500, 2500, 4000};
constexpr std::string_view ZERO_WIDTH_SPACE = "\u200B";

// The documents, in the order of their writers.
constexpr std::size_t SRT = 0, VTT = 1, JSON = 3;

// What a subtitle reader finds of a cue: its times in milliseconds and its lines.
struct ReadCue {
  std::int64_t start_ms = 0;
  std::int64_t end_ms = 0;
  std::vector<std::string> lines;
};

struct Checked {
  std::vector<std::unique_ptr<DocumentWriter>> writers;
  std::vector<std::string> documents;
  std::vector<ReadCue> cues;  // as written: times in milliseconds, lines without control characters
  std::vector<Cue> timed;     // as made, for the quality report
  std::vector<std::size_t> top_line_words;  // of each cue: the words on its first line
  std::vector<tw::Word> words_in;           // kept to compare, in order, with the cues' words
  std::size_t words_out = 0;
  std::optional<std::int64_t> previous_end;
};

// A time as the documents write it: to the nearest millisecond, within 0..10^12 s.
std::int64_t written_ms(double seconds) {
  if (std::isnan(seconds)) return 0;
  return std::llround(std::clamp(seconds, 0.0, 1e12) * 1000.0);
}

std::string without_controls(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return text;
}

// The least gap between cues, as the target works it out: the frames at the frame rate.
std::int64_t least_gap_ms(const CueLimits& limits) {
  return std::llround(static_cast<double>(limits.cue_gap_frames) * 1000.0 / limits.fps);
}

void check_times(Checked& checked, const CueLimits& limits, const Cue& cue) {
  std::int64_t words_end = written_ms(cue.words.front().end);
  for (const CueWord& word : cue.words) {
    expect(word.start_ms == written_ms(word.start) && word.end_ms == written_ms(word.end),
           "a word's times not as the documents round them");
    // The silence before each word: since the latest end among the words before it.
    expect(&word == &cue.words.front() || word.start_ms - words_end <= limits.pause_ms,
           "a cue that holds a silence longer than the pause threshold");
    words_end = std::max(words_end, word.end_ms);
  }
  const std::int64_t gap = least_gap_ms(limits);
  expect(cue.start_ms < cue.end_ms, "a cue that does not end after it starts");
  expect(!checked.previous_end || cue.start_ms - *checked.previous_end >= gap,
         "a gap under the least gap");
  expect(cue.start_ms >= cue.words.front().start_ms, "a cue that starts before its first word");
  expect(cue.end_ms >= words_end - gap, "a cue that ends too long before its words");
  expect(cue.words.size() == 1 || words_end - cue.words.front().start_ms <= limits.max_cue_ms,
         "a cue of many words longer than --max-cue-seconds");
}

// The lines are the cue's words in order, each line joined as a line joins them, within the
// limits unless a word is wider than a line.
// Returns the count of words on the first line.
std::size_t check_lines(const CueLimits& limits, const Cue& cue) {
  const std::span<const CueWord> words(cue.words);
  bool wide_word = false;
  for (const CueWord& word : words) wide_word |= display_width(word.text) > limits.max_line_chars;
  expect(cue.lines.size() <= limits.max_lines || wide_word, "a cue with too many lines");
  std::size_t next = 0, top_words = 0;
  for (const std::string& line : cue.lines) {
    std::size_t end = next + 1;
    while (end < words.size() && join_words(words.subspan(next, end - next)) != line) ++end;
    expect(end <= words.size() && join_words(words.subspan(next, end - next)) == line,
           "a line that is not the cue's next words");
    expect(end - next == 1 || display_width(line) <= limits.max_line_chars,
           "a line over the limit that is not a single word");
    if (next == 0) top_words = end;
    next = end;
  }
  expect(next == words.size(), "a cue whose lines leave out some of its words");
  return top_words;
}

void take(Checked& checked, const CueLimits& limits, const Cue& cue) {
  expect(!cue.words.empty() && !cue.lines.empty(), "an empty cue");
  check_times(checked, limits, cue);
  checked.previous_end = cue.end_ms;
  checked.top_line_words.push_back(check_lines(limits, cue));
  checked.timed.push_back(cue);
  for (const CueWord& word : cue.words) {
    const bool same = checked.words_out < checked.words_in.size() &&
                      checked.words_in[checked.words_out].text == word.text &&
                      checked.words_in[checked.words_out].start == word.start &&
                      checked.words_in[checked.words_out].end == word.end;
    expect(same, "a word lost, repeated or out of order on its way to the cues");
    ++checked.words_out;
  }
  ReadCue written{cue.start_ms, cue.end_ms, {}};
  for (const std::string& line : cue.lines) written.lines.push_back(without_controls(line));
  checked.cues.push_back(std::move(written));
  for (std::size_t i = 0; i < checked.writers.size(); ++i) {
    checked.documents[i] += checked.writers[i]->cue(cue);
  }
}

// "HH:MM:SS" + separator + "mmm", hours of two digits or more, in milliseconds.
std::optional<std::int64_t> read_clock(std::string_view text, char separator) {
  const std::size_t hours_end = text.find(':');
  if (hours_end < 2 || hours_end == text.npos || text.size() != hours_end + 10) return std::nullopt;
  const std::string pattern = std::string(hours_end, '9') + ":99:99" + separator + "999";
  std::int64_t hours = 0, minutes = 0, seconds = 0, ms = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (pattern[i] != '9') {
      if (text[i] != pattern[i]) return std::nullopt;
      continue;
    }
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    std::int64_t& field = i < hours_end       ? hours
                          : i < hours_end + 3 ? minutes
                          : i < hours_end + 6 ? seconds
                                              : ms;
    field = field * 10 + (text[i] - '0');
  }
  if (minutes > 59 || seconds > 59) return std::nullopt;
  return ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms;
}

// "START --> END"; nothing when the line is not a time line.
std::optional<ReadCue> read_time_line(std::string_view line, char separator) {
  const std::size_t arrow = line.find(" --> ");
  if (arrow == line.npos) return std::nullopt;
  const std::optional<std::int64_t> start = read_clock(line.substr(0, arrow), separator);
  const std::optional<std::int64_t> end = read_clock(line.substr(arrow + 5), separator);
  if (!start || !end) return std::nullopt;
  return ReadCue{*start, *end, {}};
}

// A SubRip line as shown: no time line, no tag or ASS code; the U+200B after each "<", "{",
// "\" and "--" (two hyphens at a time) taken out again.
std::string srt_shown(std::string_view line) {
  expect(line.find("-->") == line.npos && !read_time_line(line, ','), "a time line in SubRip text");
  std::string shown;
  for (std::size_t i = 0; i < line.size();) {
    const char c = line[i++];
    shown += c;
    if (c == '<' || c == '{' || c == '\\' || (c == '-' && line.substr(0, i).ends_with("--"))) {
      expect(line.substr(i).starts_with(ZERO_WIDTH_SPACE), "markup in SubRip text");
      i += ZERO_WIDTH_SPACE.size();
    }
  }
  return shown;
}

// A WebVTT line as shown: no "<" or ">", each "&" a reference to &, < or >.
std::string vtt_shown(std::string_view line) {
  expect(line.find_first_of("<>") == line.npos, "markup in WebVTT text");
  std::string shown;
  for (std::size_t at; (at = line.find('&')) != line.npos;) {
    shown += line.substr(0, at);
    line.remove_prefix(at);
    bool known = false;
    for (auto [reference, character] : {std::pair{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}}) {
      if (!known && line.starts_with(reference)) {
        known = true;
        shown += character;
        line.remove_prefix(std::string_view(reference).size());
      }
    }
    expect(known, "a bare & in WebVTT text");
  }
  return shown + std::string(line);
}

// The cue blocks of a document: the text between blank lines, which no cue line can make.
std::vector<ReadCue> read_blocks(std::string_view body, char separator, bool numbered,
                                 std::string (*shown)(std::string_view)) {
  std::vector<ReadCue> cues;
  if (body.empty()) return cues;
  for (const std::string& block : tw::fuzz::split_at(body, std::string_view("\n\n"))) {
    std::vector<std::string> lines =
        tw::fuzz::split_at(std::string_view(block), std::string_view("\n"));
    if (numbered) {
      expect(lines.front() == std::to_string(cues.size() + 1), "a cue number out of sequence");
      lines.erase(lines.begin());
    }
    expect(lines.size() >= 2, "a cue without its time line or text");
    std::optional<ReadCue> cue = read_time_line(lines.front(), separator);
    expect(cue.has_value(), "a cue without its time line");
    for (std::size_t i = 1; i < lines.size(); ++i) cue->lines.push_back(shown(lines[i]));
    cues.push_back(std::move(*cue));
  }
  return cues;
}

// Both subtitle documents read back give the cues as written: their times to the millisecond,
// each ending after it starts and none before the previous one ends, and their lines.
void check_subtitle_text(const Checked& checked) {
  const std::string& srt_text = checked.documents[SRT];
  expect(srt_text.empty() || srt_text.ends_with("\n\n"), "SubRip not ended by a blank line");
  const std::vector<ReadCue> from_srt =
      read_blocks(std::string_view(srt_text).substr(0, srt_text.empty() ? 0 : srt_text.size() - 2),
                  ',', true, srt_shown);
  const std::string& vtt_text = checked.documents[VTT];
  expect(vtt_text.starts_with("WEBVTT\n"), "WebVTT without its header");
  std::string_view vtt_body = std::string_view(vtt_text).substr(7);
  expect(vtt_body.empty() || (vtt_body.starts_with('\n') && vtt_body.ends_with('\n')),
         "WebVTT cues not set apart by blank lines");
  if (!vtt_body.empty()) vtt_body = vtt_body.substr(1, vtt_body.size() - 2);
  const std::vector<ReadCue> from_vtt = read_blocks(vtt_body, '.', false, vtt_shown);

  for (const std::vector<ReadCue>* read : {&from_srt, &from_vtt}) {
    expect(read->size() == checked.cues.size(), "a subtitle document with other cues");
    std::int64_t previous_end_ms = 0;
    for (std::size_t i = 0; i < read->size(); ++i) {
      const ReadCue& got = (*read)[i];
      const ReadCue& want = checked.cues[i];
      expect(got.start_ms == want.start_ms && got.end_ms == want.end_ms, "other cue times");
      expect(got.lines == want.lines, "other cue lines");
      expect(got.end_ms > got.start_ms, "a written cue that does not end after it starts");
      expect(got.start_ms >= previous_end_ms, "a written cue that overlaps the one before it");
      previous_end_ms = got.end_ms;
    }
  }
}

// The characters a reader reads in a cue: those of its lines and a blank for each break.
std::size_t shown_characters(const Cue& cue) {
  std::size_t count = cue.lines.size() - 1;
  for (const std::string& line : cue.lines) {
    for (char c : line) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }
  return count;
}

// Whether `characters` cannot be read in `ms` at the reading speed.
bool too_fast(std::size_t characters, std::int64_t ms, const CueLimits& limits) {
  return static_cast<double>(characters) * 1000.0 > limits.max_cps * static_cast<double>(ms);
}

// What the line rules find in a cue of two lines whose top line holds `top` words.
void count_line_rules(const CueLimits& limits, const Cue& cue, std::size_t top,
                      std::vector<std::size_t>& counts) {
  const std::span<const CueWord> words(cue.words);
  const std::size_t n = words.size();
  auto fits = [&](std::size_t k) {
    return display_width(join_words(words.first(k))) <= limits.max_line_chars &&
           display_width(join_words(words.subspan(k))) <= limits.max_line_chars;
  };
  bool unbound_other = false, clause_other = false, inner_other = false;
  for (std::size_t k = 1; k < n; ++k) {
    if (k == top || !fits(k)) continue;
    const bool leaves_word_alone = k == 1 || k == n - 1;
    inner_other = inner_other || !leaves_word_alone;
    // Where some break leaves no word alone, one that does is no better.
    if (leaves_word_alone && n > 3) continue;
    unbound_other = unbound_other || !binds_to_next(words[k - 1].text);
    clause_other = clause_other || break_cost(words[k - 1].text, words[k].text) <= BREAK_AT_CLAUSE;
  }
  if (binds_to_next(words[top - 1].text) && unbound_other)
    ++counts[QualityReport::break_after_binding];
  if (break_cost(words[top - 1].text, words[top].text) > BREAK_AT_CLAUSE && clause_other) {
    ++counts[QualityReport::punctuation_ignored];
  }
  if ((top == 1 || top == n - 1) && inner_other) ++counts[QualityReport::lone_word_line];
}

// The report's counts as the target reads each rule, cue by cue.
void check_report(const Checked& checked, const CueLimits& limits) {
  QualityReport report(limits);
  for (const Cue& cue : checked.timed) report.add(cue);
  report.text();
  std::vector<std::size_t> counts(QualityReport::rule_count, 0);
  const std::int64_t least_gap = least_gap_ms(limits);
  for (std::size_t i = 0; i < checked.timed.size(); ++i) {
    const Cue& cue = checked.timed[i];
    const Cue* next = i + 1 < checked.timed.size() ? &checked.timed[i + 1] : nullptr;
    const std::int64_t shown = cue.end_ms - cue.start_ms;
    const bool next_at_once = next && next->start_ms - cue.end_ms <= least_gap;
    if (shown < limits.min_cue_ms) {
      ++counts[next_at_once ? QualityReport::too_short_next_follows
                            : QualityReport::too_short_other];
    }
    const std::size_t characters = shown_characters(cue);
    if (too_fast(characters, shown, limits)) {
      std::int64_t words_end = 0;
      for (const CueWord& word : cue.words) words_end = std::max(words_end, word.end_ms);
      ++counts[too_fast(characters, words_end - cue.words.front().start_ms, limits)
                   ? QualityReport::too_fast_speech
               : next_at_once ? QualityReport::too_fast_no_gap
                              : QualityReport::too_fast_longest];
    }
    if (next) {
      const std::int64_t gap = next->start_ms - cue.end_ms;
      if (gap < least_gap) ++counts[QualityReport::gap_under_minimum];
      if (gap > least_gap && gap < limits.close_gap_ms) ++counts[QualityReport::gap_left_open];
    }
    if (std::ranges::any_of(cue.lines, [&](const std::string& line) {
          return display_width(line) > limits.max_line_chars;
        })) {
      ++counts[QualityReport::wide_line];
    }
    if (cue.lines.size() > limits.max_lines) ++counts[QualityReport::too_many_lines];
    if (cue.lines.size() == 2) count_line_rules(limits, cue, checked.top_line_words[i], counts);
    if (i > 0) {
      const std::string& before = checked.timed[i - 1].words.back().text;
      if (break_cost(before, cue.words.front().text) == BREAK_INSIDE_ABBREVIATION) {
        ++counts[QualityReport::abbreviation_split];
      }
      if (cue.words.size() <= 2 && !sentence_ends_between(before, cue.words.front().text) &&
          ends_sentence(cue.words.back().text)) {
        ++counts[QualityReport::sentence_tail];
      }
    }
  }
  for (std::size_t rule = 0; rule < QualityReport::rule_count; ++rule) {
    expect(report.count(static_cast<QualityReport::Rule>(rule)) == counts[rule],
           "a quality report count that is not the cues breaking its rule");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < LIMIT_BYTES) return 0;
  CueLimits limits;
  limits.max_line_chars = 1 + data[0] % 64;
  limits.max_lines = 1 + data[1] % 4;
  limits.max_cue_ms = 100 * (1 + data[2]);
  limits.pause_ms = 50 * data[3];
  limits.fps = data[1] & 0x10 ? 25.0 : 24.0;
  limits.cue_gap_frames = data[2] % 3;
  limits.max_cps = data[0] & 0x40 ? 17.0 : 20.0;
  limits.min_cue_ms = MIN_CUE_MS[data[1] >> 5];
  limits.close_gap_ms = data[0] & 0x80 ? 1200 : 500;
  const std::string_view text = tw::fuzz::as_text(data + LIMIT_BYTES, size - LIMIT_BYTES);

  Checked checked;
  for (Format format : {Format::srt, Format::vtt, Format::txt, Format::json}) {
    checked.writers.push_back(make_writer(format));
    checked.documents.push_back(checked.writers.back()->begin());
  }
  RecordReader reader;
  CueBuilder cues(limits);
  for (const std::string& line : tw::fuzz::split_at(text, std::string_view("\n"))) {
    tw::Result<RecordLine> record = reader.read(line);
    if (!record || record->kind == RecordLine::Kind::worker_error) break;
    for (tw::Word& word : record->words) {
      expect(!word.text.empty() && tw::is_valid_utf8(word.text), "a word the worker never writes");
      checked.words_in.push_back(word);
      for (const Cue& cue : cues.add(std::move(word))) take(checked, limits, cue);
    }
    for (const Cue& cue : cues.reach(record->end)) take(checked, limits, cue);
  }
  for (const Cue& cue : cues.finish()) take(checked, limits, cue);
  expect(checked.words_in.size() == checked.words_out, "a word lost on its way to the cues");

  for (std::size_t i = 0; i < checked.writers.size(); ++i) {
    checked.documents[i] += checked.writers[i]->end();
    expect(tw::is_valid_utf8(checked.documents[i]), "a document that is not UTF-8");
  }
  check_subtitle_text(checked);
  check_report(checked, limits);
  const nlohmann::json json = nlohmann::json::parse(checked.documents[JSON], nullptr, false);
  expect(json.is_object() && json["cues"].is_array(), "the JSON document does not parse");
  return 0;
}

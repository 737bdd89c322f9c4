// transcribe-subtitles' reading of worker records: each line through the record reader, the
// words into cues, the cues through all four document writers.
//
// Input: three bytes choosing the cue limits (columns a line, lines a cue, tenths of a second a
// cue; from the same bytes the frame rate, the least gap and the reading speed), then the record
// lines, separated by line feeds.
//
// Checked on every cue: no overlap and at least the least gap after the cue before; a start no
// earlier than its first word's, an end a written millisecond after the start and no earlier than
// the least gap before its words' end; the line and duration limits (unless one word is too wide
// or too long); its lines are its words; and every word read reaches the cues once, in order.

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

#include "core/text/utf8.h"
#include "fuzz_check.h"
#include "subtitles/cue_builder.h"
#include "subtitles/cue_text.h"
#include "subtitles/display_width.h"
#include "subtitles/document_writer.h"
#include "subtitles/record_reader.h"

namespace {

using tw::fuzz::expect;
using namespace tw::subtitles;

// Beyond this, adding a gap of frames to a time no longer changes it: times are not checked.
constexpr double LARGEST_CHECKED_TIME = 1e9;
constexpr double TOLERANCE = 1e-6;

struct Checked {
  std::vector<std::unique_ptr<DocumentWriter>> writers;
  std::vector<std::string> documents;
  std::vector<tw::Word> words_in;  // kept to compare, in order, with the cues' words
  std::size_t words_out = 0;
  double previous_end = -std::numeric_limits<double>::infinity();
};

bool checkable(double seconds) { return std::abs(seconds) < LARGEST_CHECKED_TIME; }

void check_times(Checked& checked, const CueLimits& limits, const Cue& cue) {
  double words_end = cue.words.front().end;
  for (const tw::Word& word : cue.words) words_end = std::max(words_end, word.end);
  const double gap = limits.min_gap_seconds();
  expect(cue.start >= checked.previous_end, "a cue that overlaps the one before it");
  expect(cue.start >= cue.words.front().start, "a cue that starts before its first word");
  if (!checkable(cue.start) || !checkable(words_end) || !checkable(checked.previous_end)) return;
  expect(clock_time(cue.end, ',') != clock_time(cue.start, ','), "a cue of no length as written");
  expect(cue.start - checked.previous_end >= gap - TOLERANCE, "a gap under the least gap");
  expect(cue.end >= words_end - gap - TOLERANCE, "a cue that ends too long before its words");
  expect(cue.words.size() == 1 ||
             words_end - cue.words.front().start <= limits.max_cue_seconds + TOLERANCE,
         "a cue of many words longer than the longest cue");
}

// The lines are the cue's words in order, each line joined as a line joins them.
void check_lines(const CueLimits& limits, const Cue& cue) {
  const std::span<const tw::Word> words(cue.words);
  bool wide_word = false;
  for (const tw::Word& word : words) wide_word |= display_width(word.text) > limits.max_line_chars;
  expect(cue.lines.size() <= limits.max_lines || wide_word, "a cue with too many lines");
  std::size_t next = 0;
  for (const std::string& line : cue.lines) {
    std::size_t end = next + 1;
    while (end < words.size() && join_words(words.subspan(next, end - next)) != line) ++end;
    expect(end <= words.size() && join_words(words.subspan(next, end - next)) == line,
           "a line that is not the cue's next words");
    expect(end - next == 1 || display_width(line) <= limits.max_line_chars,
           "a line over the limit that is not a single word");
    next = end;
  }
  expect(next == words.size(), "a cue whose lines leave out some of its words");
}

void take(Checked& checked, const CueLimits& limits, const Cue& cue) {
  expect(!cue.words.empty() && !cue.lines.empty(), "an empty cue");
  check_times(checked, limits, cue);
  checked.previous_end = cue.end;
  check_lines(limits, cue);
  for (const tw::Word& word : cue.words) {
    const bool same = checked.words_out < checked.words_in.size() &&
                      checked.words_in[checked.words_out].text == word.text &&
                      checked.words_in[checked.words_out].start == word.start &&
                      checked.words_in[checked.words_out].end == word.end;
    expect(same, "a word lost, repeated or out of order on its way to the cues");
    ++checked.words_out;
  }
  for (std::size_t i = 0; i < checked.writers.size(); ++i) {
    checked.documents[i] += checked.writers[i]->cue(cue);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  CueLimits limits;
  limits.max_line_chars = 1 + data[0] % 64;
  limits.max_lines = 1 + data[1] % 4;
  limits.max_cue_seconds = 0.1 * (1 + data[2]);
  limits.fps = data[1] & 0x10 ? 25.0 : 24.0;
  limits.cue_gap_frames = data[2] % 3;
  limits.max_cps = data[0] & 0x40 ? 17.0 : 20.0;
  const std::string_view text = tw::fuzz::as_text(data + 3, size - 3);

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
  const nlohmann::json json = nlohmann::json::parse(checked.documents[3], nullptr, false);
  expect(json.is_object() && json["cues"].is_array(), "the JSON document does not parse");
  return 0;
}

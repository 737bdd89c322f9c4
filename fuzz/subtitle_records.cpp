// transcribe-subtitles' reading of worker records: each line through the record reader, the
// words into cues, the cues through all four document writers.
//
// Input: three bytes choosing the cue limits (characters a line, lines a cue, tenths of a second
// a cue), then the record lines, separated by line feeds.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/text/utf8.h"
#include "fuzz_check.h"
#include "subtitles/cue_builder.h"
#include "subtitles/document_writer.h"
#include "subtitles/record_reader.h"

namespace {

using tw::fuzz::expect;
using namespace tw::subtitles;

struct Checked {
  std::vector<std::unique_ptr<DocumentWriter>> writers;
  std::vector<std::string> documents;
  std::size_t words_in = 0;
  std::size_t words_out = 0;
  double previous_end = -std::numeric_limits<double>::infinity();
};

void take(Checked& checked, const CueLimits& limits, const Cue& cue) {
  expect(!cue.words.empty() && !cue.lines.empty(), "an empty cue");
  expect(cue.start <= cue.end, "a cue that ends before it starts");
  expect(cue.start >= checked.previous_end, "a cue that overlaps the one before it");
  checked.previous_end = cue.end;
  expect(cue.lines.size() <= limits.max_lines, "a cue with too many lines");
  // Lines break only between words: a line over the limit is one word alone (a blank inside a
  // word, which the worker never writes, makes that unknowable).
  const bool blank_in_a_word = std::ranges::any_of(
      cue.words, [](const tw::Word& word) { return word.text.find(' ') != std::string::npos; });
  for (const std::string& line : cue.lines) {
    expect(blank_in_a_word || character_count(line) <= limits.max_line_chars ||
               line.find(' ') == std::string::npos,
           "a line over the limit that is not a single word");
  }
  std::string joined_lines, joined_words;
  for (const std::string& line : cue.lines) {
    joined_lines += (joined_lines.empty() ? "" : " ") + line;
  }
  for (const tw::Word& word : cue.words) {
    joined_words += (joined_words.empty() ? "" : " ") + word.text;
  }
  expect(joined_lines == joined_words, "the lines are not the cue's words");
  checked.words_out += cue.words.size();
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
      ++checked.words_in;
      for (const Cue& cue : cues.add(std::move(word))) take(checked, limits, cue);
    }
    for (const Cue& cue : cues.reach(record->end)) take(checked, limits, cue);
  }
  for (const Cue& cue : cues.finish()) take(checked, limits, cue);
  expect(checked.words_in == checked.words_out, "a word lost or repeated on its way to the cues");

  for (std::size_t i = 0; i < checked.writers.size(); ++i) {
    checked.documents[i] += checked.writers[i]->end();
    expect(tw::is_valid_utf8(checked.documents[i]), "a document that is not UTF-8");
  }
  const nlohmann::json json = nlohmann::json::parse(checked.documents[3], nullptr, false);
  expect(json.is_object() && json["cues"].is_array(), "the JSON document does not parse");
  return 0;
}

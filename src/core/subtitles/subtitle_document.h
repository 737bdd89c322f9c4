#pragma once
// One subtitle document made while the speech arrives: words into cues (CueBuilder), each cue
// written as soon as it is final (DocumentWriter) to a sink the caller gives, and counted by the
// quality report when one is kept. It opens no file, so any program can make subtitles in its
// own process:
//
//   SubtitleDocument document(Format::srt, *style_named("netflix"), write_somewhere, true);
//   document.begin();
//   for each line of the worker's output: RecordReader::read, then add() a words record;
//   document.end();
//   document.report();

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/asr/word.h"
#include "core/error.h"
#include "core/subtitles/cue_builder.h"
#include "core/subtitles/cue_limits.h"
#include "core/subtitles/document_writer.h"
#include "core/subtitles/quality_report.h"
#include "core/subtitles/record_reader.h"

namespace tw::subtitles {

// Receives the document's text in order, a piece at a time (its start, each cue, its end); an
// error it returns ends the document.
using DocumentSink = std::function<Status(std::string_view text)>;

class SubtitleDocument {
 public:
  // `limits` must be valid (CueLimits::validate); the quality report is kept when `report`.
  SubtitleDocument(Format format, const CueLimits& limits, DocumentSink sink, bool report);

  // The document's start; first, once.
  Status begin();

  // The next words, in the order of their starts (an end never before its start), and a
  // promise that no later word starts before `covered_end` seconds. The cues this makes final
  // are written before it returns.
  Status add(std::span<const Word> words, double covered_end);
  // A words record, as RecordReader reads the worker's line.
  Status add(const RecordLine& record) { return add(record.words, record.end); }

  // The open cues and the document's end: what was added makes a complete document.
  Status end();

  // The quality report of the cues written (call once, after end()); empty when none is kept.
  std::string report();

  // Whether the sink failed, so the document cannot be completed.
  bool sink_failed() const { return sink_failed_; }

 private:
  Status write_cues(const std::vector<Cue>& cues);
  Status write(const std::string& text);

  DocumentSink sink_;
  bool sink_failed_ = false;
  std::unique_ptr<DocumentWriter> writer_;
  CueBuilder cues_;
  std::optional<QualityReport> report_;
};

}  // namespace tw::subtitles

#pragma once
// The four output formats. A writer turns the document's start, each cue and the document's
// end into text, in that order, so every cue can be written as soon as it is final.

#include <memory>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/subtitles/cue.h"

namespace tw::subtitles {

enum class Format { srt, vtt, txt, json };

class DocumentWriter {
 public:
  virtual ~DocumentWriter() = default;
  virtual std::string begin() { return {}; }
  virtual std::string cue(const Cue& cue) = 0;
  virtual std::string end() { return {}; }
};

// SubRip: numbered cues, "00:01:02,345 --> 00:01:04,000", the lines, a blank line; a U+200B
// after every "<", "{", "\" and "--" of the text keeps it from being markup or a time line.
std::unique_ptr<DocumentWriter> make_srt_writer();
// WebVTT: the "WEBVTT" header, then cues timed "00:01:02.345 --> 00:01:04.000", the lines with
// &, < and > escaped.
std::unique_ptr<DocumentWriter> make_vtt_writer();
// Plain text: the words joined by blanks (none between words of Chinese or Japanese), a blank
// line between paragraphs (a paragraph ends at a pause of PARAGRAPH_PAUSE_MS or more).
std::unique_ptr<DocumentWriter> make_text_writer();
// One JSON document, a cue per line: {"cues":[{"end":..,"lines":[..],"start":..,"words":[..]}]}
// with numbers and strings in the records' own forms.
std::unique_ptr<DocumentWriter> make_json_writer();

std::unique_ptr<DocumentWriter> make_writer(Format format);

// The format of a name: "srt", "vtt", "txt" or "json".
Result<Format> format_named(std::string_view name);

inline constexpr Milliseconds PARAGRAPH_PAUSE_MS = 2'000;

}  // namespace tw::subtitles

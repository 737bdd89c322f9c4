// WebVTT: "WEBVTT\n", then "\n00:00:00.480 --> 00:00:01.680\nhello world\n" per cue. Cue text
// is markup in WebVTT, so &, < and > are written as character references ("-->" cannot occur).
#include "core/subtitles/cue_text.h"
#include "core/subtitles/document_writer.h"

namespace tw::subtitles {
namespace {

std::string escaped(const std::string& line) {
  std::string out;
  for (char c : one_line(line)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

class VttWriter : public DocumentWriter {
 public:
  std::string begin() override { return "WEBVTT\n"; }

  std::string cue(const Cue& cue) override {
    std::string text =
        '\n' + clock_time(cue.start_ms, '.') + " --> " + clock_time(cue.end_ms, '.') + '\n';
    for (const std::string& line : cue.lines) text += escaped(line) + '\n';
    return text;
  }
};

}  // namespace

std::unique_ptr<DocumentWriter> make_vtt_writer() { return std::make_unique<VttWriter>(); }

}  // namespace tw::subtitles

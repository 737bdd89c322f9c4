// SubRip: "1\n00:00:00,480 --> 00:00:01,680\nhello world\n\n" per cue; no header, no footer.
#include <cstddef>
#include <string_view>

#include "core/subtitles/cue_text.h"
#include "core/subtitles/document_writer.h"

namespace tw::subtitles {
namespace {

constexpr std::string_view ZERO_WIDTH_SPACE = "\u200B";

// SubRip has no escaping, yet readers take "<...>" as HTML tags, "{\...}" and "\N" as ASS
// codes and a line holding "-->" as a time line (a new cue). A zero-width space after "<", "{"
// and "\" and after each "--" leaves each a plain character that looks the same, and a reader
// can take out exactly the ones added.
std::string plain_text(const std::string& line) {
  std::string out;
  for (char c : one_line(line)) {
    out += c;
    if (c == '<' || c == '{' || c == '\\' || (c == '-' && out.ends_with("--"))) {
      out += ZERO_WIDTH_SPACE;
    }
  }
  return out;
}

class SrtWriter : public DocumentWriter {
 public:
  std::string cue(const Cue& cue) override {
    std::string text = std::to_string(++count_) + '\n';
    text += clock_time(cue.start_ms, ',') + " --> " + clock_time(cue.end_ms, ',') + '\n';
    for (const std::string& line : cue.lines) text += plain_text(line) + '\n';
    return text + '\n';
  }

 private:
  std::size_t count_ = 0;
};

}  // namespace

std::unique_ptr<DocumentWriter> make_srt_writer() { return std::make_unique<SrtWriter>(); }

}  // namespace tw::subtitles

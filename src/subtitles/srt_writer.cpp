// SubRip: "1\n00:00:00,480 --> 00:00:01,680\nhello world\n\n" per cue; no header, no footer.
#include <cstddef>

#include "subtitles/cue_text.h"
#include "subtitles/document_writer.h"

namespace tw::subtitles {
namespace {

class SrtWriter : public DocumentWriter {
 public:
  std::string cue(const Cue& cue) override {
    std::string text = std::to_string(++count_) + '\n';
    text += clock_time(cue.start, ',') + " --> " + clock_time(cue.end, ',') + '\n';
    for (const std::string& line : cue.lines) text += one_line(line) + '\n';
    return text + '\n';
  }

 private:
  std::size_t count_ = 0;
};

}  // namespace

std::unique_ptr<DocumentWriter> make_srt_writer() { return std::make_unique<SrtWriter>(); }

}  // namespace tw::subtitles

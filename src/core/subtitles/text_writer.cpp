// Plain text: the words joined by blanks (none between words of Chinese or Japanese), paragraphs
// separated by a blank line, a line feed at the end. Paragraphs follow the pauses between words,
// whatever the cues are.
#include <algorithm>
#include <optional>

#include "core/subtitles/cue_text.h"
#include "core/subtitles/display_width.h"
#include "core/subtitles/document_writer.h"

namespace tw::subtitles {
namespace {

class TextWriter : public DocumentWriter {
 public:
  std::string cue(const Cue& cue) override {
    std::string text;
    for (const CueWord& word : cue.words) {
      if (last_end_ && word.start_ms - *last_end_ >= PARAGRAPH_PAUSE_MS) {
        text += "\n\n";
      } else if (last_end_ && !joins_without_blank(last_text_, word.text)) {
        text += ' ';
      }
      last_text_ = word.text;
      text += one_line(word.text);
      last_end_ = last_end_ ? std::max(*last_end_, word.end_ms) : word.end_ms;
    }
    return text;
  }

  std::string end() override { return last_end_ ? "\n" : ""; }

 private:
  std::optional<Milliseconds> last_end_;  // the latest word end so far; none before the first word
  std::string last_text_;
};

}  // namespace

std::unique_ptr<DocumentWriter> make_text_writer() { return std::make_unique<TextWriter>(); }

}  // namespace tw::subtitles

#include "core/subtitles/subtitle_document.h"

#include <utility>

namespace tw::subtitles {

SubtitleDocument::SubtitleDocument(Format format, const CueLimits& limits, DocumentSink sink,
                                   bool report)
    : sink_(std::move(sink)), writer_(make_writer(format)), cues_(limits) {
  if (report) report_.emplace(limits);
}

Status SubtitleDocument::begin() { return write(writer_->begin()); }

Status SubtitleDocument::add(std::span<const Word> words, double covered_end) {
  for (const Word& word : words) {
    if (Status written = write_cues(cues_.add(word)); !written) return written;
  }
  return write_cues(cues_.reach(covered_end));
}

Status SubtitleDocument::end() {
  if (Status written = write_cues(cues_.finish()); !written) return written;
  return write(writer_->end());
}

std::string SubtitleDocument::report() { return report_ ? report_->text() : std::string(); }

Status SubtitleDocument::write_cues(const std::vector<Cue>& cues) {
  for (const Cue& cue : cues) {
    if (Status written = write(writer_->cue(cue)); !written) return written;
    if (report_) report_->add(cue);
  }
  return {};
}

Status SubtitleDocument::write(const std::string& text) {
  if (text.empty()) return {};
  Status written = sink_(text);
  if (!written) sink_failed_ = true;
  return written;
}

}  // namespace tw::subtitles

#include "core/subtitles/document_writer.h"

#include "core/platform/fail_fast.h"

namespace tw::subtitles {

std::unique_ptr<DocumentWriter> make_writer(Format format) {
  switch (format) {
    case Format::srt:
      return make_srt_writer();
    case Format::vtt:
      return make_vtt_writer();
    case Format::txt:
      return make_text_writer();
    case Format::json:
      return make_json_writer();
  }
  fail_fast("a document format without a writer");
}

Result<Format> format_named(std::string_view name) {
  if (name == "srt") return Format::srt;
  if (name == "vtt") return Format::vtt;
  if (name == "txt") return Format::txt;
  if (name == "json") return Format::json;
  return fail("unknown format " + std::string(name) + " (srt, vtt, txt or json)");
}

}  // namespace tw::subtitles

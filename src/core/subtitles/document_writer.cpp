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

}  // namespace tw::subtitles

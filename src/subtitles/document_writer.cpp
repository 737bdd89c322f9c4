#include "subtitles/document_writer.h"

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
  return make_srt_writer();
}

}  // namespace tw::subtitles

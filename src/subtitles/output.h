#pragma once
// Where the document or the report goes: standard output, standard error, or a file given by
// --output or --report. Each piece of text is handed to the system at once, so a reader sees
// every cue as soon as it is written. A file is opened without losing its content and emptied
// only by empty(), so a run refused after opening it leaves it as it was.

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"

namespace tw::subtitles {

class Output {
 public:
  // Standard output when `path` is absent, otherwise the file, created when missing.
  static Result<Output> open(const std::optional<std::string>& path);
  static Output standard_error();

  // Empties the file, a regular one (a device or a pipe holds nothing to lose); nothing for
  // a standard stream.
  Status empty();

  // A failure, a closed standard stream included, is "cannot write NAME: TEXT".
  Status write(std::string_view text);

 private:
  enum class Stream { file, standard_output, standard_error };

  Error failure(Error cause) const;

  Stream stream_ = Stream::standard_output;
  std::string path_;  // of a file
  std::unique_ptr<std::ofstream> file_;
};

}  // namespace tw::subtitles

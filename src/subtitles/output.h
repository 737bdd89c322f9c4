#pragma once
// Where the document goes: standard output, or a file given by --output. Each piece of text is
// handed to the system at once, so a reader sees every cue as soon as it is written.

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"

namespace tw::subtitles {

class Output {
 public:
  // Standard output when `path` is absent, otherwise the file, created or emptied.
  static Result<Output> open(const std::optional<std::string>& path);

  Status write(std::string_view text);

 private:
  std::optional<std::string> path_;
  std::unique_ptr<std::ofstream> file_;
};

}  // namespace tw::subtitles

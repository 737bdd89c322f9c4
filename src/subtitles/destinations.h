#pragma once
// Where the document and the quality report go. Opening a file for writing empties it, so every
// name is checked first, by the file it reaches (links, second names and redirected standard
// streams included): neither may be the input, which is still to be read, nor may the report be
// the document, which it would replace. A refusal comes before any existing file is emptied.

#include <optional>
#include <string>

#include "core/error.h"
#include "subtitles/command_line.h"
#include "subtitles/input.h"
#include "subtitles/output.h"

namespace tw::subtitles {

struct Destinations {
  Output document;
  std::optional<Output> report_file;  // none: the report, if any, goes to standard error
};

Result<Destinations> open_destinations(const Options& options, const Input& input);

}  // namespace tw::subtitles

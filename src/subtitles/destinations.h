#pragma once
// Where the document and the quality report go. Every name is checked first, by the file it
// reaches (links, second names and redirected standard streams included): neither may be the
// input, which is still to be read, nor may the report be the document, which it would replace.
// The checks only read the files' status, so a named pipe is never opened by them. Both files
// are then opened, and emptied only once both are open: a refusal or a file that cannot be
// opened leaves every existing file as it was.

#include <optional>
#include <string>

#include "core/error.h"
#include "core/platform/file_identity.h"
#include "subtitles/command_line.h"
#include "subtitles/output.h"

namespace tw::subtitles {

struct Destinations {
  Output document;
  std::optional<Output> report;  // none: no report asked for
};

// Refuses a destination that is the input (`input`: the identity of the file it reads, if any)
// or a report that is the document. Opens nothing.
Status check_destinations(const Options& options, const std::optional<FileIdentity>& input);

// Opens the document and the report, and only then empties their files.
Result<Destinations> open_destinations(const Options& options);

}  // namespace tw::subtitles

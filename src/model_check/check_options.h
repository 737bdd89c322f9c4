#pragma once
// The command line of transcribe-model-check: [--load] DIR, in any order; or --help, or
// --version.

#include <span>
#include <string>

#include "core/error.h"

namespace tw {

struct CheckOptions {
  std::string model_dir;
  bool load = false;  // also load the model with the speech library and decode with it
  bool help = false;  // print the usage, nothing else
  bool show_version = false;
};

inline constexpr const char* CHECK_USAGE =
    "usage: transcribe-model-check [--load] DIR\n"
    "Checks a model directory as transcribe-worker --model DIR would load it and tells what it\n"
    "found, one fact a line, then \"ok: the worker will load this model\" or the reason it\n"
    "will not.\n"
    "  --load     also load the model with the speech library and decode a second of silence\n"
    "  --help     this text\n"
    "  --version  the version\n";

// `arguments` are the process's arguments after the program path, in UTF-8. Arguments are
// compared whole; the first one that does not begin with "--" is the directory. --help and
// --version end the walk where they stand, with nothing else required.
Result<CheckOptions> parse_check_options(std::span<const std::string> arguments);

}  // namespace tw

#pragma once
// The command line of transcribe-model-check: [--load] DIR, in any order.

#include <span>
#include <string>

#include "core/error.h"

namespace tw {

struct CheckOptions {
  std::string model_dir;
  bool load = false;  // also load the model with the speech library and decode with it
};

// `arguments` are the process's arguments after the program path, in UTF-8. Arguments are
// compared whole; the first one that does not begin with "--" is the directory.
Result<CheckOptions> parse_check_options(std::span<const std::string> arguments);

}  // namespace tw

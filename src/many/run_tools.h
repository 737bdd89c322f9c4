#pragma once
// The model folder and the decoder program of a run, checked before anything is made, so that a
// wrong path is one refusal rather than every file's failure.

#include <string>
#include <string_view>

#include "core/error.h"

namespace tw::many {

// The model folder, normalized; fails unless it is a folder.
Result<std::string> model_folder(std::string_view given);

// The decoder program: a path with a folder separator is normalized and must name a file; a bare
// name is kept as it is and must be found as the decoder's start finds it (on PATH on POSIX).
Result<std::string> decoder_program(std::string_view given);

}  // namespace tw::many

#pragma once
// The run of transcribe-many: collect the files, skip those done, load the recognizer once,
// then one audio thread decodes the files in order into one queue and the decode stage writes
// each file's outputs as its pieces are recognized.

#include <span>
#include <string>

#include "core/error.h"

namespace tw::many {

// Ends the process: 0 when every file is done, 1 when one failed or the run was stopped, 2 for
// a bad command line or input refused before anything starts.
[[noreturn]] void run(std::span<const std::string> arguments);

}  // namespace tw::many

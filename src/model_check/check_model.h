#pragma once
// transcribe-model-check's whole run: why a model directory will or will not load.

#include <span>
#include <string>

#include "core/error.h"

namespace tw {

// Finds and checks the model files as the worker does and prints what it found on standard
// output, one fact a line, then "ok: the worker will load this model"; or fails with the reason
// it will not. With --load the speech library then also loads the model and decodes a second of
// silence with it, and a refusal of the library is the reason.
Status check_model(std::span<const std::string> arguments);

}  // namespace tw

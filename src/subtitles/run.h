#pragma once
// The whole run of transcribe-subtitles: records in, one document out, cue by cue.

#include <span>
#include <string>

#include "core/error.h"

namespace tw::subtitles {

Status run(std::span<const std::string> arguments);

}  // namespace tw::subtitles

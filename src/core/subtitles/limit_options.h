#pragma once
// The command-line options that set cue limits, shared by every program that makes subtitles:
//   --style netflix|bbc --max-line-chars N --max-lines N --max-cue-seconds S --pause-ms M
//   --max-cps C --min-cue-seconds S --fps F --cue-gap-frames N --close-gap-ms M
// (--min-gap-ms is the old name of --pause-ms). Each takes a value. --style sets the limits the
// other options then change, wherever it stands; an option given twice keeps its later value.

#include <span>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/subtitles/cue_limits.h"

namespace tw::subtitles {

bool is_limit_option(std::string_view argument);

// The limits of the last valid --style among `arguments` (the defaults without one).
// `takes_value` tells which arguments of the program's own take a value, so that a value is
// never taken for an option.
CueLimits starting_limits(std::span<const std::string> arguments,
                          bool (*takes_value)(std::string_view argument));

// Sets the limit `option` from `value` (--style is only checked: starting_limits applied it);
// the error is the reason, without the option's name.
Status apply_limit_option(CueLimits& limits, std::string_view option, std::string_view value);

}  // namespace tw::subtitles

#pragma once
// Cue times and cue text as the subtitle formats write them.

#include <string>
#include <string_view>

#include "core/subtitles/milliseconds.h"

namespace tw::subtitles {

// "HH:MM:SS" + `separator` + "mmm"; the hours take more digits past 99. A negative time is
// written as zero.
std::string clock_time(Milliseconds ms, char separator);

// `text` with every control character (U+0000..U+001F, U+007F) made a blank, so a word can
// never break the line structure of a subtitle file.
std::string one_line(std::string_view text);

}  // namespace tw::subtitles

#pragma once
// Cue times are whole milliseconds, the unit the documents write: every rule that decides a cue
// compares integers, so none can flip because 5.0 + 0.8333 - 5.0 is not 0.8333. A word's times
// are converted once, as it enters, with the rounding the documents use.

#include <cstdint>

namespace tw::subtitles {

using Milliseconds = std::int64_t;

// Later word times count as this one (10^12 s, far beyond any media).
inline constexpr Milliseconds LATEST_MS = 1'000'000'000'000'000;
// A limit or a duration worked out from one (a gap of frames, a reading time) counts as this
// at most (10^6 s): cues pushed one after another by such amounts stay far from the integer's end.
inline constexpr Milliseconds MAX_LIMIT_MS = 1'000'000'000;

// `seconds` rounded to the nearest millisecond (halves away from zero); a negative time, or one
// that is not a number, as 0, a later one than LATEST_MS as LATEST_MS.
Milliseconds to_milliseconds(double seconds);

// `ms` as a limit: within 0..MAX_LIMIT_MS (a value that is not a number as 0).
Milliseconds limit_milliseconds(double ms);

}  // namespace tw::subtitles

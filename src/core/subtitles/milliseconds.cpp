#include "core/subtitles/milliseconds.h"

#include <cmath>

namespace tw::subtitles {

Milliseconds to_milliseconds(double seconds) {
  if (!(seconds > 0.0)) return 0;
  const double ms = seconds * 1000.0;
  return ms >= static_cast<double>(LATEST_MS) ? LATEST_MS : std::llround(ms);
}

Milliseconds limit_milliseconds(double ms) {
  if (!(ms > 0.0)) return 0;
  return ms >= static_cast<double>(MAX_LIMIT_MS) ? MAX_LIMIT_MS : std::llround(ms);
}

}  // namespace tw::subtitles

#include "many/modified_time.h"

#include <cinttypes>
#include <cstdio>

namespace tw::many {

std::string modified_time_text(std::int64_t seconds, std::uint32_t nanoseconds) {
  constexpr std::uint32_t NANOSECONDS_PER_SECOND = 1'000'000'000;
  const bool negative = seconds < 0;
  // Below zero the fraction counts back from the next whole second up: -1 s + 0.25 s = -0.75 s.
  // The magnitude is taken as unsigned, so that the least int64 has one too.
  std::uint64_t whole =
      negative ? 0 - static_cast<std::uint64_t>(seconds) : static_cast<std::uint64_t>(seconds);
  std::uint32_t fraction = nanoseconds;
  if (negative && fraction > 0) {
    --whole;
    fraction = NANOSECONDS_PER_SECOND - fraction;
  }
  char text[48];
  std::snprintf(text, sizeof text, "%s%" PRIu64 ".%09" PRIu32, negative ? "-" : "", whole,
                fraction);
  return text;
}

}  // namespace tw::many

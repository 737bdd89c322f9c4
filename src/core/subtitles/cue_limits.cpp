#include "core/subtitles/cue_limits.h"

#include <cmath>
#include <cstdio>

namespace tw::subtitles {
namespace {

constexpr double MS_PER_SECOND = 1000.0;
constexpr Milliseconds MAX_GAP_MS = 1000;

bool positive_rate(double rate) { return std::isfinite(rate) && rate > 0.0; }

double seconds(Milliseconds ms) { return static_cast<double>(ms) / MS_PER_SECOND; }

}  // namespace

Milliseconds CueLimits::min_gap_ms() const {
  return limit_milliseconds(static_cast<double>(cue_gap_frames) * MS_PER_SECOND / fps);
}

Milliseconds CueLimits::frame_ms() const {
  const Milliseconds frame = limit_milliseconds(MS_PER_SECOND / fps);
  return frame > 0 ? frame : 1;
}

Milliseconds CueLimits::reading_ms(std::size_t characters) const {
  return limit_milliseconds(std::ceil(static_cast<double>(characters) * MS_PER_SECOND / max_cps));
}

Status CueLimits::validate() const {
  if (max_line_chars == 0 || max_lines == 0) return fail("a cue needs at least one line of one column");
  if (!positive_rate(max_cps) || !positive_rate(fps) || fps < 1.0) {
    return fail("the reading speed must be a positive number and the frame rate at least 1");
  }
  // Each cue's start is pushed past the one before by the least gap: a longer one carries
  // every later cue further away from its words.
  if (min_gap_ms() > MAX_GAP_MS) {
    char reason[160];
    std::snprintf(reason, sizeof reason,
                  "the least gap between cues (%zu frames at %g fps) must be at most 1 s",
                  cue_gap_frames, fps);
    return fail(reason);
  }
  for (Milliseconds ms : {max_cue_ms, pause_ms, min_cue_ms, close_gap_ms}) {
    if (ms < 0 || ms > MAX_LIMIT_MS) return fail("a time limit outside 0 to 10^6 s");
  }
  return {};
}

std::string CueLimits::text() const {
  char line[320];
  std::snprintf(line, sizeof line,
                "limits: %zu columns a line, %zu lines, %g s longest, %g s shortest, %g "
                "characters a second, gaps of %zu frames at %g fps, gaps under %g s closed, "
                "pauses over %g s end a cue\n",
                max_line_chars, max_lines, seconds(max_cue_ms), seconds(min_cue_ms), max_cps,
                cue_gap_frames, fps, seconds(close_gap_ms), seconds(pause_ms));
  return line;
}

Result<CueLimits> style_named(std::string_view name) {
  if (name == "netflix") return CueLimits{};
  if (name == "bbc") return CueLimits{.max_line_chars = 37, .fps = 25.0};
  return fail("unknown style " + std::string(name) + " (netflix or bbc)");
}

}  // namespace tw::subtitles

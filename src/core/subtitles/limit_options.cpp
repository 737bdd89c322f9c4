#include "core/subtitles/limit_options.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/number_syntax.h"

namespace tw::subtitles {
namespace {

constexpr double MS_PER_SECOND = 1000.0;

constexpr std::string_view LIMIT_OPTIONS[] = {
    "--style",    "--max-line-chars", "--max-lines",   "--max-cue-seconds",
    "--pause-ms", "--min-gap-ms",     "--max-cps",     "--min-cue-seconds",
    "--fps",      "--cue-gap-frames", "--close-gap-ms"};

Result<std::uint64_t> count_value(std::string_view value) {
  Result<std::uint64_t> count = parse_unsigned(value);
  if (!count) return count;
  if (*count == 0) return fail("must be at least 1");
  return count;
}

Result<double> positive_value(std::string_view value) {
  Result<double> seconds = parse_float(value);
  if (!seconds) return seconds;
  if (!std::isfinite(*seconds) || *seconds <= 0.0) return fail("must be a positive number");
  return seconds;
}

Result<Milliseconds> millipositive_value(std::string_view value) {
  Result<std::uint64_t> ms = parse_unsigned(value);
  if (!ms) return fail(std::move(ms.error()));
  return static_cast<Milliseconds>(std::min<std::uint64_t>(*ms, MAX_LIMIT_MS));
}

}  // namespace

bool is_limit_option(std::string_view argument) {
  return std::ranges::find(LIMIT_OPTIONS, argument) != std::end(LIMIT_OPTIONS);
}

CueLimits starting_limits(std::span<const std::string> arguments,
                          bool (*takes_value)(std::string_view argument)) {
  CueLimits limits;
  for (std::size_t next = 0; next + 1 < arguments.size(); ++next) {
    if (!takes_value(arguments[next])) continue;
    if (arguments[next] == "--style") {
      if (Result<CueLimits> style = style_named(arguments[next + 1])) limits = *style;
    }
    ++next;
  }
  return limits;
}

Status apply_limit_option(CueLimits& limits, std::string_view option, std::string_view value) {
  if (option == "--max-line-chars" || option == "--max-lines") {
    Result<std::uint64_t> count = count_value(value);
    if (!count) return fail(std::move(count.error()));
    (option == "--max-lines" ? limits.max_lines : limits.max_line_chars) = *count;
  } else if (option == "--cue-gap-frames") {
    Result<std::uint64_t> frames = parse_unsigned(value);
    if (!frames) return fail(std::move(frames.error()));
    limits.cue_gap_frames = *frames;
  } else if (option == "--max-cue-seconds" || option == "--min-cue-seconds") {
    Result<double> seconds = positive_value(value);
    if (!seconds) return fail(std::move(seconds.error()));
    (option == "--max-cue-seconds" ? limits.max_cue_ms : limits.min_cue_ms) =
        limit_milliseconds(*seconds * MS_PER_SECOND);
  } else if (option == "--max-cps" || option == "--fps") {
    Result<double> rate = positive_value(value);
    if (!rate) return fail(std::move(rate.error()));
    // A frame longer than a second would hold every cue on screen past its words.
    if (option == "--fps" && *rate < 1.0) return fail("must be at least 1");
    (option == "--max-cps" ? limits.max_cps : limits.fps) = *rate;
  } else if (option == "--pause-ms" || option == "--min-gap-ms" || option == "--close-gap-ms") {
    Result<Milliseconds> ms = millipositive_value(value);
    if (!ms) return fail(std::move(ms.error()));
    (option == "--close-gap-ms" ? limits.close_gap_ms : limits.pause_ms) = *ms;
  } else if (option == "--style") {
    if (Result<CueLimits> style = style_named(value); !style) return fail(std::move(style.error()));
  } else {
    return fail("not a limit option");
  }
  return {};
}

}  // namespace tw::subtitles

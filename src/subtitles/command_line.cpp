#include "subtitles/command_line.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "core/number_syntax.h"

namespace tw::subtitles {
namespace {

constexpr double MS_PER_SECOND = 1000.0;

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

// Sets one option from its value; the error is the reason, without the option's name.
Status apply(Options& options, std::string_view option, std::string_view value) {
  CueLimits& limits = options.limits;
  if (option == "--format") {
    Result<Format> format = format_named(value);
    if (!format) return fail(std::move(format.error()));
    options.format = *format;
  } else if (option == "--max-line-chars" || option == "--max-lines") {
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
  } else if (option == "--report") {
    options.report = std::string(value);
  } else if (option == "--style") {
    // Applied before the walk; here only checked.
    if (Result<CueLimits> style = style_named(value); !style) return fail(std::move(style.error()));
  } else if (value == "-") {
    options.output.reset();  // standard output, as when not given
  } else {
    options.output = std::string(value);
  }
  return {};
}

constexpr std::string_view VALUE_OPTIONS[] = {
    "--format",          "--style",    "--max-line-chars", "--max-lines",
    "--max-cue-seconds", "--pause-ms", "--min-gap-ms",     "--max-cps",
    "--min-cue-seconds", "--fps",      "--cue-gap-frames", "--close-gap-ms",
    "--report",          "--output"};

bool takes_value(std::string_view argument) {
  for (std::string_view option : VALUE_OPTIONS) {
    if (argument == option) return true;
  }
  return false;
}

// The limits of the last valid --style, so the other options change them wherever they stand.
CueLimits starting_limits(std::span<const std::string> arguments) {
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

}  // namespace

Result<Options> parse_command_line(std::span<const std::string> arguments) {
  Options options;
  options.limits = starting_limits(arguments);
  for (std::size_t next = 0; next < arguments.size();) {
    const std::string& argument = arguments[next++];
    if (takes_value(argument)) {
      if (next == arguments.size()) return fail(argument + " needs a value");
      if (Status set = apply(options, argument, arguments[next++]); !set) {
        return fail(argument, std::move(set.error()));
      }
    } else if (argument == "--help") {
      options.help = true;
    } else if (argument == "--version") {
      options.show_version = true;
    } else if (!options.input && (argument == "-" || !argument.starts_with("-"))) {
      options.input = argument;
    } else {
      return fail("unexpected argument " + argument);
    }
  }
  return options;
}

}  // namespace tw::subtitles

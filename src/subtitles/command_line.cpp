#include "subtitles/command_line.h"

#include <cmath>
#include <cstdint>
#include <string_view>

#include "core/number_syntax.h"

namespace tw::subtitles {
namespace {

constexpr double SECONDS_PER_MS = 0.001;

Result<Format> format_named(std::string_view name) {
  if (name == "srt") return Format::srt;
  if (name == "vtt") return Format::vtt;
  if (name == "txt") return Format::txt;
  if (name == "json") return Format::json;
  return fail("unknown format " + std::string(name) + " (srt, vtt, txt or json)");
}

Result<std::uint64_t> count_value(std::string_view value) {
  Result<std::uint64_t> count = parse_unsigned(value);
  if (!count) return count;
  if (*count == 0) return fail("must be at least 1");
  return count;
}

Result<double> seconds_value(std::string_view value) {
  Result<double> seconds = parse_float(value);
  if (!seconds) return seconds;
  if (!std::isfinite(*seconds) || *seconds <= 0.0) return fail("must be a positive number");
  return seconds;
}

// Sets one option from its value; the error is the reason, without the option's name.
Status apply(Options& options, std::string_view option, std::string_view value) {
  if (option == "--format") {
    Result<Format> format = format_named(value);
    if (!format) return fail(std::move(format.error()));
    options.format = *format;
  } else if (option == "--max-line-chars" || option == "--max-lines") {
    Result<std::uint64_t> count = count_value(value);
    if (!count) return fail(std::move(count.error()));
    (option == "--max-lines" ? options.limits.max_lines : options.limits.max_line_chars) = *count;
  } else if (option == "--max-cue-seconds") {
    Result<double> seconds = seconds_value(value);
    if (!seconds) return fail(std::move(seconds.error()));
    options.limits.max_cue_seconds = *seconds;
  } else if (option == "--min-gap-ms") {
    Result<std::uint64_t> ms = parse_unsigned(value);
    if (!ms) return fail(std::move(ms.error()));
    options.limits.pause_seconds = static_cast<double>(*ms) * SECONDS_PER_MS;
  } else {
    options.output = std::string(value);
  }
  return {};
}

bool takes_value(std::string_view argument) {
  return argument == "--format" || argument == "--max-line-chars" || argument == "--max-lines" ||
         argument == "--max-cue-seconds" || argument == "--min-gap-ms" || argument == "--output";
}

}  // namespace

Result<Options> parse_command_line(std::span<const std::string> arguments) {
  Options options;
  for (std::size_t next = 0; next < arguments.size();) {
    const std::string& argument = arguments[next++];
    if (takes_value(argument)) {
      if (next == arguments.size()) return fail(argument + " needs a value");
      if (Status set = apply(options, argument, arguments[next++]); !set) {
        return fail(argument, std::move(set.error()));
      }
    } else if (argument == "--help") {
      options.help = true;
    } else if (!options.input && (argument == "-" || !argument.starts_with("-"))) {
      options.input = argument;
    } else {
      return fail("unexpected argument " + argument);
    }
  }
  return options;
}

}  // namespace tw::subtitles

#include "subtitles/command_line.h"

#include <string_view>

#include "core/subtitles/limit_options.h"

namespace tw::subtitles {
namespace {

// Sets one option from its value; the error is the reason, without the option's name.
Status apply(Options& options, std::string_view option, std::string_view value) {
  if (is_limit_option(option)) return apply_limit_option(options.limits, option, value);
  if (option == "--format") {
    Result<Format> format = format_named(value);
    if (!format) return fail(std::move(format.error()));
    options.format = *format;
  } else if (option == "--report") {
    options.report = std::string(value);
  } else if (value == "-") {
    options.output.reset();  // standard output, as when not given
  } else {
    options.output = std::string(value);
  }
  return {};
}

bool takes_value(std::string_view argument) {
  return is_limit_option(argument) || argument == "--format" || argument == "--report" ||
         argument == "--output";
}

}  // namespace

Result<Options> parse_command_line(std::span<const std::string> arguments) {
  Options options;
  options.limits = starting_limits(arguments, takes_value);
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

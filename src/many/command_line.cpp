#include "many/command_line.h"

#include <algorithm>
#include <string_view>

#include "core/number_syntax.h"
#include "core/subtitles/limit_options.h"

namespace tw::many {
namespace {

constexpr std::string_view FORMATS[] = {"jsonl", "srt", "vtt", "txt", "json"};

bool takes_value(std::string_view argument) {
  return subtitles::is_limit_option(argument) || argument == "--model" || argument == "--ffmpeg" ||
         argument == "--out" || argument == "--formats" || argument == "--batch" ||
         argument == "--provider" || argument == "--shard" || argument == "--progress";
}

Result<std::vector<std::string>> parse_formats(std::string_view list) {
  std::vector<std::string> formats;
  for (std::size_t start = 0; start <= list.size();) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    const std::string format(list.substr(start, comma - start));
    if (std::ranges::find(FORMATS, format) == std::end(FORMATS)) {
      return fail("unknown format \"" + format + "\"");
    }
    if (std::ranges::find(formats, format) == formats.end()) formats.push_back(format);
    start = comma + 1;
  }
  return formats;
}

// K or N of a shard: decimal digits only, no sign or blank.
Result<std::uint64_t> parse_shard_number(std::string_view text) {
  if (text.empty() || !std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; })) {
    return fail("must be K/N, two whole numbers in decimal digits");
  }
  Result<std::uint64_t> number = parse_unsigned(text);
  if (!number) return fail(std::string(text) + " is too large (at most 18446744073709551615)");
  return number;
}

Result<Shard> parse_shard(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return fail("must be K/N");
  Result<std::uint64_t> index = parse_shard_number(text.substr(0, slash));
  if (!index) return fail(std::move(index.error()));
  Result<std::uint64_t> count = parse_shard_number(text.substr(slash + 1));
  if (!count) return fail(std::move(count.error()));
  if (*count == 0 || *index >= *count) return fail("must be K/N with 0 <= K < N");
  return Shard{*index, *count};
}

// Sets one option from its value; the error is the reason, without the option's name.
Status apply(Options& options, std::string_view option, std::string_view value) {
  if (subtitles::is_limit_option(option)) {
    return subtitles::apply_limit_option(options.limits, option, value);
  }
  if (option == "--model") {
    options.model = value;
  } else if (option == "--ffmpeg") {
    options.ffmpeg = value;
  } else if (option == "--out") {
    options.out = value;
  } else if (option == "--formats") {
    Result<std::vector<std::string>> formats = parse_formats(value);
    if (!formats) return fail(std::move(formats.error()));
    options.formats = std::move(*formats);
  } else if (option == "--batch") {
    Result<std::uint64_t> batch = parse_unsigned(value);
    if (!batch) return fail(std::move(batch.error()));
    options.batch = *batch;
  } else if (option == "--provider") {
    if (value != "cpu" && value != "cuda") return fail("must be cpu or cuda");
    options.use_cuda = value == "cuda";
  } else if (option == "--shard") {
    Result<Shard> shard = parse_shard(value);
    if (!shard) return fail(std::move(shard.error()));
    options.shard = *shard;
  } else if (value == "json") {  // --progress
    options.progress_json = true;
  } else {
    return fail("must be json");
  }
  return {};
}

}  // namespace

Result<Options> parse_command_line(std::span<const std::string> arguments) {
  Options options;
  options.limits = subtitles::starting_limits(arguments, takes_value);
  bool options_end = false;
  for (std::size_t next = 0; next < arguments.size();) {
    const std::string& argument = arguments[next++];
    if (options_end || !argument.starts_with("-") || argument == "-") {
      options.inputs.push_back(argument);
    } else if (argument == "--") {
      options_end = true;
    } else if (takes_value(argument)) {
      if (next == arguments.size()) return fail(argument + " needs a value");
      if (Status set = apply(options, argument, arguments[next++]); !set) {
        return fail(argument, std::move(set.error()));
      }
    } else if (argument == "--help") {
      options.help = true;
    } else if (argument == "--version") {
      options.show_version = true;
    } else {
      return fail("unknown option " + argument);
    }
  }
  if (options.help || options.show_version) return options;
  if (options.model.empty()) return fail("--model is required");
  if (options.ffmpeg.empty()) return fail("--ffmpeg is required");
  if (options.inputs.empty()) return fail("no media files given");
  if (Status valid = options.limits.validate(); !valid) return fail(std::move(valid.error()));
  return options;
}

}  // namespace tw::many

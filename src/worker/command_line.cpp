#include "worker/command_line.h"

#include <optional>
#include <string_view>

#include "core/number_syntax.h"
#include "worker/optional_value_text.h"

namespace tw {

namespace {

// The arguments in order, each handed out once.
class ArgumentWalk {
 public:
  explicit ArgumentWalk(std::span<const std::string> arguments) : arguments_(arguments) {}

  bool done() const { return next_ == arguments_.size(); }
  const std::string& take() { return arguments_[next_++]; }

  // The value after an option; absent when the option was the last argument.
  std::optional<std::string_view> take_value() {
    if (done()) return std::nullopt;
    return take();
  }

 private:
  std::span<const std::string> arguments_;
  std::size_t next_ = 0;
};

Result<double> float_value(std::string_view option, std::optional<std::string_view> value) {
  if (!value) return fail(std::string(option) + " needs a value");
  Result<double> number = parse_float(*value);
  if (!number) return fail(std::string(option), std::move(number.error()));
  return *number;
}

}  // namespace

Result<RunOptions> parse_command_line(std::span<const std::string> arguments) {
  RunOptions options;
  // The required values: an option given twice keeps its later value, and one given without a
  // value is absent again.
  std::optional<std::string> model;
  std::optional<std::string> ffmpeg;
  std::optional<std::string> audio;

  ArgumentWalk walk(arguments);
  while (!walk.done()) {
    const std::string& argument = walk.take();
    if (argument == "--model") {
      model = walk.take_value();
    } else if (argument == "--ffmpeg") {
      ffmpeg = walk.take_value();
    } else if (argument == "--start") {
      Result<double> start = float_value(argument, walk.take_value());
      if (!start) return fail(std::move(start.error()));
      options.start = *start;
    } else if (argument == "--end") {
      Result<double> end = float_value(argument, walk.take_value());
      if (!end) return fail(std::move(end.error()));
      options.end = *end;
    } else if (argument == "--batch") {
      std::optional<std::string_view> value = walk.take_value();
      if (!value) return fail("--batch needs a value");
      Result<std::uint64_t> batch = parse_unsigned(*value);
      if (!batch) return fail("--batch", std::move(batch.error()));
      options.batch = *batch;
    } else if (argument == "--provider") {
      std::optional<std::string_view> value = walk.take_value();
      if (value == "cpu") {
        options.provider = Provider::cpu;
      } else if (value == "cuda") {
        options.provider = Provider::cuda;
      } else {
        return fail("unknown provider " + optional_value_text(value));
      }
    } else if (argument == "--exit-on-stdin-close") {
      options.exit_on_stdin_close = true;
    } else if (argument == "--version") {
      options.show_version = true;
      return options;
    } else if (!audio && !argument.starts_with("--")) {
      audio = argument;
    } else {
      return fail("unexpected argument " + argument);
    }
  }

  if (!model) return fail("--model is required");
  if (!ffmpeg) return fail("--ffmpeg is required");
  if (!audio) return fail("an audio file is required");
  options.model = std::move(*model);
  options.ffmpeg = std::move(*ffmpeg);
  options.audio = std::move(*audio);
  return options;
}

}  // namespace tw

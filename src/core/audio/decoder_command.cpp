#include "core/audio/decoder_command.h"

#include <charconv>

#include "core/audio/piece.h"
#include "core/platform/fail_fast.h"

namespace tw {

std::string format_seconds(double seconds) {
  // The largest double has 309 integer digits; three decimals and a sign fit easily.
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 3);
  if (error != std::errc()) fail_fast("a time value did not fit its buffer");
  return std::string(buffer, end);
}

std::vector<std::string> decoder_arguments(std::string_view audio, double start,
                                           std::optional<double> end) {
  std::vector<std::string> arguments = {
      "-format_whitelist",
      std::string(FORMAT_WHITELIST),
      "-codec_whitelist",
      std::string(CODEC_WHITELIST),
      "-protocol_whitelist",
      "file",
      "-nostdin",
      "-hide_banner",
      "-loglevel",
      "error",
  };
  if (start > 0.0) {
    arguments.push_back("-ss");
    arguments.push_back(format_seconds(start));
  }
  if (end) {
    double length = *end - start;
    // Also turns -0.0 into 0.0, so the length is never written with a sign.
    if (!(length > 0.0)) length = 0.0;
    arguments.push_back("-t");
    arguments.push_back(format_seconds(length));
    // ffmpeg reads a zero length as no limit at all and would decode the rest of the file. The
    // shortest length it honours gives 16 samples, fewer than any piece, so an empty range
    // still yields no piece while ffmpeg still opens and checks the file.
    if (arguments.back() == "0.000") arguments.back() = "0.001";
  }
  arguments.insert(arguments.end(), {"-i", std::string(audio), "-vn", "-ac", "1", "-ar",
                                     std::to_string(SAMPLE_RATE), "-f", "s16le", "pipe:1"});
  return arguments;
}

ToolCommand decoder_command(std::string_view ffmpeg, std::string_view audio, double start,
                            std::optional<double> end) {
  ToolCommand command = tool_command(ffmpeg);
  command.arguments = decoder_arguments(audio, start, end);
  return command;
}

}  // namespace tw

#include "core/audio/decoder_command.h"

#include <charconv>

#include "core/audio/piece.h"
#include "core/platform/fail_fast.h"

namespace tw {
namespace {

// ffmpeg holds times as 64-bit counts of microseconds and refuses any text above this
// ("Invalid duration specification"), "inf" included. The double is 9223372036854.775390625,
// written 9223372036854.775; the next one up is written 9223372036854.777.
constexpr double LONGEST_DECODER_SECONDS = 9223372036854.775;

// ffmpeg reads a zero length as no limit at all and would decode the rest of the file. The
// shortest length it honours gives 16 samples, fewer than any piece, so an empty range still
// yields no piece while ffmpeg still opens and checks the file.
constexpr std::string_view EMPTY_RANGE_LENGTH = "0.001";

// "-ss" and "-t" for the wanted range, in the forms ffmpeg takes.
std::vector<std::string> range_arguments(double start, std::optional<double> end) {
  // A start beyond any media (or infinite) is an empty range.
  if (start > LONGEST_DECODER_SECONDS) return {"-t", std::string(EMPTY_RANGE_LENGTH)};
  std::vector<std::string> range;
  if (start > 0.0) range.insert(range.end(), {"-ss", format_seconds(start)});
  if (!end) return range;
  double length = *end - start;
  // Also turns -0.0 into 0.0, so the length is never written with a sign.
  if (!(length > 0.0)) length = 0.0;
  // A length beyond what ffmpeg takes (or infinite) is the rest of the file: no limit at all.
  if (length > LONGEST_DECODER_SECONDS) return range;
  std::string text = format_seconds(length);
  range.insert(range.end(), {"-t", text == "0.000" ? std::string(EMPTY_RANGE_LENGTH) : text});
  return range;
}

// What every ffmpeg run over a media file starts with: the whitelists, no standard input, no
// banner.
std::vector<std::string> locked_down_arguments() {
  return {"-format_whitelist",
          std::string(FORMAT_WHITELIST),
          "-codec_whitelist",
          std::string(CODEC_WHITELIST),
          "-protocol_whitelist",
          "file",
          "-nostdin",
          "-hide_banner"};
}

}  // namespace

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
  std::vector<std::string> arguments = locked_down_arguments();
  arguments.insert(arguments.end(), {"-loglevel", "error"});
  const std::vector<std::string> range = range_arguments(start, end);
  arguments.insert(arguments.end(), range.begin(), range.end());
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

ToolCommand duration_probe_command(std::string_view ffmpeg, std::string_view audio) {
  ToolCommand command = tool_command(ffmpeg);
  command.arguments = locked_down_arguments();
  command.arguments.insert(command.arguments.end(), {"-i", std::string(audio)});
  return command;
}

std::optional<double> probed_duration(std::string_view said) {
  constexpr std::string_view LABEL = "Duration: ";
  const std::size_t at = said.find(LABEL);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view text = said.substr(at + LABEL.size());
  unsigned hours = 0, minutes = 0;
  double seconds = 0.0;
  const auto read = [&text](std::size_t from, std::size_t to, auto& value) {
    auto [end, error] = std::from_chars(text.data() + from, text.data() + to, value);
    return error == std::errc() && end == text.data() + to;
  };
  // HH:MM:SS.cc
  if (text.size() < 11 || text[2] != ':' || text[5] != ':') return std::nullopt;
  if (!read(0, 2, hours) || !read(3, 5, minutes) || !read(6, 11, seconds)) return std::nullopt;
  return hours * 3600.0 + minutes * 60.0 + seconds;
}

}  // namespace tw

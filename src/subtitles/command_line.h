#pragma once
// The command line of transcribe-subtitles:
//   [--format srt|vtt|txt|json] [--max-line-chars N] [--max-lines N] [--max-cue-seconds S]
//   [--min-gap-ms M] [--output FILE] [INPUT]
// An option given twice keeps its later value; INPUT absent or "-" is standard input.

#include <optional>
#include <span>
#include <string>

#include "core/error.h"
#include "subtitles/cue.h"
#include "subtitles/document_writer.h"

namespace tw::subtitles {

struct Options {
  Format format = Format::srt;
  CueLimits limits;
  std::optional<std::string> output;
  std::optional<std::string> input;
  bool help = false;
};

inline constexpr const char* USAGE =
    "usage: transcribe-subtitles [--format srt|vtt|txt|json] [--max-line-chars N] [--max-lines N]\n"
    "                            [--max-cue-seconds S] [--min-gap-ms M] [--output FILE] [INPUT]\n"
    "Reads transcribe-worker's records (INPUT, or standard input) and writes one document.\n";

// `arguments` are the process's arguments after the program path, in UTF-8.
Result<Options> parse_command_line(std::span<const std::string> arguments);

}  // namespace tw::subtitles

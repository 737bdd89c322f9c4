#pragma once
// The command line of transcribe-subtitles:
//   [--format srt|vtt|txt|json] [--style netflix|bbc] [--max-line-chars N] [--max-lines N]
//   [--max-cue-seconds S] [--pause-ms M] [--max-cps C] [--min-cue-seconds S] [--fps F]
//   [--cue-gap-frames N] [--close-gap-ms M] [--report FILE|-] [--output FILE|-] [INPUT|-]
// An option given twice keeps its later value; --style sets the limits that the other options
// then change, wherever it stands. --min-gap-ms is the old name of --pause-ms. INPUT absent or
// "-" is standard input, --output absent or "-" standard output, --report "-" standard error;
// a file named "-" is "./-". A time option over 10^6 s counts as 10^6 s (MAX_LIMIT_MS; a
// word's time in the records is bounded at 10^12 s, LATEST_MS).

#include <optional>
#include <span>
#include <string>

#include "core/error.h"
#include "core/subtitles/cue.h"
#include "core/subtitles/document_writer.h"

namespace tw::subtitles {

struct Options {
  Format format = Format::srt;
  CueLimits limits;
  std::optional<std::string> output;  // none: standard output
  std::optional<std::string> input;
  std::optional<std::string> report;  // "-" for standard error
  bool help = false;
  bool show_version = false;
};

inline constexpr const char* USAGE =
    "usage: transcribe-subtitles [--format srt|vtt|txt|json] [--style netflix|bbc]\n"
    "         [--max-line-chars N] [--max-lines N] [--max-cue-seconds S] [--pause-ms M]\n"
    "         [--max-cps C] [--min-cue-seconds S] [--fps F] [--cue-gap-frames N]\n"
    "         [--close-gap-ms M] [--report FILE|-] [--output FILE|-] [INPUT|-]\n"
    "       transcribe-subtitles --help | --version\n"
    "Reads transcribe-worker's records (INPUT, or standard input) and writes one document.\n";

// `arguments` are the process's arguments after the program path, in UTF-8.
Result<Options> parse_command_line(std::span<const std::string> arguments);

}  // namespace tw::subtitles

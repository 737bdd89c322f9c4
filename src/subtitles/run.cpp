#include "subtitles/run.h"

#include <optional>
#include <utility>

#include "core/program_version.h"
#include "core/subtitles/record_reader.h"
#include "core/subtitles/subtitle_document.h"
#include "core/text/white_space.h"
#include "subtitles/command_line.h"
#include "subtitles/destinations.h"
#include "subtitles/input.h"
#include "subtitles/output.h"

namespace tw::subtitles {
namespace {

// A failed worker's error line may quote the decoder's output over several lines; the rest of
// the input is its continuation, kept up to this size.
constexpr std::size_t MAX_REASON_BYTES = 64 * 1024;

Error worker_failure(std::string reason, LineReader& lines) {
  // A read error here only cuts the reason short: the worker's failure is the news.
  for (Result<std::optional<std::string>> line; (line = lines.next()) && *line;) {
    if (reason.size() < MAX_REASON_BYTES) reason += '\n' + **line;
  }
  return Error("transcription failed", Error(std::string(trim_unicode_white_space(reason))));
}

// Feeds every record to the document; the first bad line, read error or output failure ends
// the reading. Input without a single record is not the worker's output.
Status read_records(Input& input, SubtitleDocument& document) {
  RecordReader reader;
  for (;;) {
    Result<std::optional<std::string>> line = input.lines.next();
    if (!line) return fail(std::move(line.error()));
    if (!*line) break;
    Result<RecordLine> record = reader.read(**line);
    if (!record) return fail(std::move(record.error()));
    if (record->kind == RecordLine::Kind::worker_error) {
      return fail(worker_failure(std::move(record->reason), input.lines));
    }
    if (Status added = document.add(*record); !added) return added;
  }
  if (!reader.any_record()) return fail("no records in " + input.name);
  return {};
}

}  // namespace

Status run(std::span<const std::string> arguments) {
  Result<Options> options = parse_command_line(arguments);
  if (!options) return fail(std::move(options.error()));
  if (options->help) {
    Result<Output> standard_output = Output::open(std::nullopt);
    return standard_output->write(USAGE);
  }
  if (options->show_version) return print_version("transcribe-subtitles");
  // Limits that each option allows may still not go together (frames at a frame rate).
  if (Status valid = options->limits.validate(); !valid) return valid;
  if (Status checked = check_destinations(*options, input_identity(options->input)); !checked) {
    return checked;
  }
  Result<Input> input = open_input(options->input);
  if (!input) return fail(std::move(input.error()));
  Result<Destinations> destinations = open_destinations(*options);
  if (!destinations) return fail(std::move(destinations.error()));

  Output& output = destinations->document;
  SubtitleDocument document(
      options->format, options->limits,
      [&output](std::string_view text) { return output.write(text); }, options->report.has_value());
  if (Status begun = document.begin(); !begun) return begun;
  Status read = read_records(*input, document);
  if (document.sink_failed()) return read;
  // Bad input still ends the document, so the cues written before it stay a valid file.
  if (Status ended = document.end(); !ended) return ended;
  if (destinations->report) {
    if (Status reported = destinations->report->write(document.report()); !reported) {
      return reported;
    }
  }
  return read;
}

}  // namespace tw::subtitles

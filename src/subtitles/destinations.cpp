#include "subtitles/destinations.h"

#include <utility>

#include "core/platform/file_identity.h"
#include "core/platform/paths.h"

namespace tw::subtitles {
namespace {

// A destination as the refusals name it, and the file it reaches now.
struct Place {
  std::string name;                      // the path as given, or the standard stream's name
  std::optional<std::string> path;       // none: a standard stream
  std::optional<FileIdentity> identity;  // of the regular file it reaches, if any
};

Place document_place(const std::optional<std::string>& output) {
  if (!output) return {"standard output", std::nullopt, stdout_identity()};
  return {*output, output, file_identity(*output)};
}

Place report_place(const std::string& report) {
  if (report == "-") return {"standard error", std::nullopt, stderr_identity()};
  return {report, report, file_identity(report)};
}

bool same_file(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b) {
  return a && a == b;
}

// Two destinations that are one file. Standard output and standard error sharing one file is
// left alone (`2>&1` shares the offset too, so the report follows the document).
bool same_destination(const Place& report, const Place& document) {
  if (!report.path && !document.path) return false;
  if (same_file(report.identity, document.identity)) return true;
  return report.path && document.path && same_place(*report.path, *document.path);
}

Error refusal(const Place& place, const char* reason) {
  return Error("cannot write " + place.name, Error(reason));
}

}  // namespace

Result<Destinations> open_destinations(const Options& options, const Input& input) {
  const Place document = document_place(options.output);
  if (same_file(document.identity, input.identity))
    return fail(refusal(document, "it is the input"));
  std::optional<Place> report;
  if (options.report) {
    report = report_place(*options.report);
    // Standard error is written only once the input has been read.
    if (report->path && same_file(report->identity, input.identity)) {
      return fail(refusal(*report, "it is the input"));
    }
    if (same_destination(*report, document)) return fail(refusal(*report, "it is the output"));
  }

  Result<Output> output = Output::open(options.output);
  if (!output) return fail(std::move(output.error()));
  Destinations opened{std::move(*output), std::nullopt};
  if (!report || !report->path) return opened;
  // Two names of a file that did not exist before, told apart now that the document exists.
  if (same_file(file_identity(*report->path), document_place(options.output).identity)) {
    return fail(refusal(*report, "it is the output"));
  }
  Result<Output> report_file = Output::open(*report->path);
  if (!report_file) return fail(std::move(report_file.error()));
  opened.report_file = std::move(*report_file);
  return opened;
}

}  // namespace tw::subtitles

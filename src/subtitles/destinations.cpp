#include "subtitles/destinations.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "core/platform/paths.h"

namespace tw::subtitles {
namespace {

// A destination as the refusals name it, and the file it reaches now.
struct Place {
  std::string name;                      // the path as given, or the standard stream's name
  std::optional<std::string> path;       // none: a standard stream
  std::optional<FileIdentity> identity;  // of the file it reaches, if any (file_identity)
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

bool exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(utf8_path(path), error);
}

// Two destinations that are one file. Standard output and standard error sharing one file is
// left alone (`2>&1` shares the offset too, so the report follows the document). Names are
// compared only for a file still to be made: an existing one is told by its identity, and one
// without any (a terminal, /dev/null) loses nothing when both write it.
bool same_destination(const Place& report, const Place& document) {
  if (!report.path && !document.path) return false;
  if (same_file(report.identity, document.identity)) return true;
  return report.path && document.path && !exists(*report.path) &&
         same_place(*report.path, *document.path);
}

Error refusal(const Place& place, const char* reason) {
  return Error("cannot write " + place.name, Error(reason));
}

}  // namespace

Status check_destinations(const Options& options, const std::optional<FileIdentity>& input) {
  const Place document = document_place(options.output);
  if (same_file(document.identity, input)) return fail(refusal(document, "it is the input"));
  if (!options.report) return {};
  const Place report = report_place(*options.report);
  // Standard error is written only once the input has been read.
  if (report.path && same_file(report.identity, input)) {
    return fail(refusal(report, "it is the input"));
  }
  if (same_destination(report, document)) return fail(refusal(report, "it is the output"));
  return {};
}

Result<Destinations> open_destinations(const Options& options) {
  Result<Output> document = Output::open(options.output);
  if (!document) return fail(std::move(document.error()));
  Destinations opened{std::move(*document), std::nullopt};
  if (options.report && *options.report == "-") {
    opened.report = Output::standard_error();
  } else if (options.report) {
    // Two names of a file that did not exist before, told apart now that the document exists.
    const Place report = report_place(*options.report);
    if (same_file(report.identity, document_place(options.output).identity)) {
      return fail(refusal(report, "it is the output"));
    }
    Result<Output> report_file = Output::open(*options.report);
    if (!report_file) return fail(std::move(report_file.error()));
    opened.report = std::move(*report_file);
  }
  if (Status emptied = opened.document.empty(); !emptied) return fail(std::move(emptied.error()));
  if (opened.report) {
    if (Status emptied = opened.report->empty(); !emptied) return fail(std::move(emptied.error()));
  }
  return opened;
}

}  // namespace tw::subtitles

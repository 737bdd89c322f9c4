#include "model_check/check_model.h"

#include <mutex>
#include <vector>

#include "core/asr/model_check.h"
#include "core/asr/model_files.h"
#include "core/asr/recognizer.h"
#include "core/platform/std_streams.h"
#include "core/program_version.h"
#include "model_check/check_options.h"
#include "model_check/model_report.h"

namespace tw {
namespace {

Status print_text(std::string_view text) {
  std::lock_guard<std::recursive_timed_mutex> lock(stdout_lock());
  return write_stdout(text);
}

Status print_lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return print_text(text);
}

// The library loads the model as the worker would (on one thread, on the cpu) and decodes a
// second of silence. Where its exception cannot be caught, the process ends with the refusal.
Status try_with_library(const ModelFiles& files) {
  const RecognizerSettings settings{.files = files, .num_threads = 1, .provider = "cpu"};
  const UncaughtRefusal report = [](Error refusal) { return refusal; };
  Result<RecognizerHandle> handle = open_recognizer(settings, report);
  if (!handle) return fail(std::move(handle.error()));
  const Recognizer recognizer(*handle, 1, 1);
  return decode_silence(recognizer.handle(), report);
}

}  // namespace

Status check_model(std::span<const std::string> arguments) {
  Result<CheckOptions> options = parse_check_options(arguments);
  if (!options) return fail(std::move(options.error()));
  if (options->help) return print_text(CHECK_USAGE);
  if (options->show_version) return print_version("transcribe-model-check");

  const ModelFiles files = find_model_files(options->model_dir);
  ModelFacts facts;
  Status checked = check_model_files(files, facts);
  std::vector<std::string> lines = file_lines(files);
  for (std::string& line : fact_lines(facts)) lines.push_back(std::move(line));
  if (Status printed = print_lines(lines); !printed) return printed;
  if (!checked) return checked;

  if (options->load) {
    if (Status loaded = try_with_library(files); !loaded) return loaded;
    if (Status printed = print_lines({LIBRARY_OK_LINE}); !printed) return printed;
  }
  return print_lines({MODEL_OK_LINE});
}

}  // namespace tw

#include "model_check/check_options.h"

#include <optional>
#include <utility>

namespace tw {

Result<CheckOptions> parse_check_options(std::span<const std::string> arguments) {
  CheckOptions options;
  std::optional<std::string> model_dir;
  for (const std::string& argument : arguments) {
    if (argument == "--load") {
      options.load = true;
    } else if (argument == "--help" || argument == "--version") {
      (argument == "--help" ? options.help : options.show_version) = true;
      return options;
    } else if (!model_dir && !argument.starts_with("--")) {
      model_dir = argument;
    } else {
      return fail("unexpected argument " + argument);
    }
  }
  if (!model_dir) return fail("a model directory is required: transcribe-model-check [--load] DIR");
  options.model_dir = std::move(*model_dir);
  return options;
}

}  // namespace tw

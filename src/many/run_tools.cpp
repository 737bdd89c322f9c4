#include "many/run_tools.h"

#include "core/platform/paths.h"
#include "core/platform/process.h"
#include "many/media_inputs.h"

namespace tw::many {

Result<std::string> model_folder(std::string_view given) {
  Result<std::string> path = normalized_path(given);
  if (!path) return fail("--model", std::move(path.error()));
  if (!is_existing_directory(utf8_path(*path))) {
    return fail("--model: no model folder at " + *path);
  }
  return path;
}

Result<std::string> decoder_program(std::string_view given) {
  if (!utf8_path(given).has_parent_path()) {
    if (!program_found(std::string(given))) {
      return fail("--ffmpeg: cannot find the program " + std::string(given));
    }
    return std::string(given);
  }
  Result<std::string> path = normalized_path(given);
  if (!path) return fail("--ffmpeg", std::move(path.error()));
  if (!is_existing_file(utf8_path(*path))) return fail("--ffmpeg: no program at " + *path);
  return path;
}

}  // namespace tw::many

#include "core/asr/model_files.h"

#include <array>

#include "core/platform/paths.h"

namespace tw {
namespace {

// Published models come in several precisions; the smallest and fastest is preferred.
constexpr std::array<std::string_view, 3> PRECISIONS = {"int8", "fp16", "fp32"};

std::string in_directory(std::string_view model_dir, const std::string& file_name) {
  return path_utf8(utf8_path(model_dir) / utf8_path(file_name));
}

}  // namespace

std::string find_model_file(std::string_view model_dir, std::string_view network) {
  const std::string base(network);
  for (std::string_view precision : PRECISIONS) {
    const std::string name = base + "." + std::string(precision) + ".onnx";
    if (is_existing_file(utf8_path(model_dir) / utf8_path(name))) {
      return in_directory(model_dir, name);
    }
  }
  const std::string plain = base + ".onnx";
  if (is_existing_file(utf8_path(model_dir) / utf8_path(plain)))
    return in_directory(model_dir, plain);
  return in_directory(model_dir, base + ".int8.onnx");
}

ModelFiles find_model_files(std::string_view model_dir) {
  ModelFiles files;
  files.encoder = find_model_file(model_dir, "encoder");
  files.decoder = find_model_file(model_dir, "decoder");
  files.joiner = find_model_file(model_dir, "joiner");
  files.tokens = in_directory(model_dir, "tokens.txt");
  return files;
}

}  // namespace tw

#include "core/asr/model_files.h"

#include <array>
#include <utility>

#include "core/platform/paths.h"

namespace tw {
namespace {

// Published models come in several precisions; the smallest and fastest is preferred. The
// plain name comes last.
constexpr std::array<std::string_view, 4> VARIANTS = {"int8", "fp16", "fp32", "plain"};

std::string file_name(std::string_view network, std::string_view variant) {
  const std::string base(network);
  return variant == "plain" ? base + ".onnx" : base + "." + std::string(variant) + ".onnx";
}

// The library opens the files with plain Windows calls: a long path goes in the form that
// reaches past MAX_PATH.
std::string in_directory(std::string_view model_dir, const std::string& name) {
  return long_path_form(path_utf8(utf8_path(model_dir) / utf8_path(name)));
}

struct ModelFileChoice {
  std::string path;
  std::string_view variant;  // empty when no variant exists
};

ModelFileChoice choose_model_file(std::string_view model_dir, std::string_view network) {
  for (std::string_view variant : VARIANTS) {
    std::string path = in_directory(model_dir, file_name(network, variant));
    if (is_existing_file(utf8_path(path))) return {std::move(path), variant};
  }
  return {in_directory(model_dir, file_name(network, VARIANTS.front())), {}};
}

}  // namespace

std::string find_model_file(std::string_view model_dir, std::string_view network) {
  return choose_model_file(model_dir, network).path;
}

std::vector<std::string> model_file_names(std::string_view network) {
  std::vector<std::string> names;
  for (std::string_view variant : VARIANTS) names.push_back(file_name(network, variant));
  return names;
}

ModelFiles find_model_files(std::string_view model_dir) {
  ModelFiles files;
  auto choose = [&](std::string_view network, std::string& path, std::string_view& variant) {
    ModelFileChoice choice = choose_model_file(model_dir, network);
    path = std::move(choice.path);
    variant = choice.variant;
  };
  choose("encoder", files.encoder, files.encoder_variant);
  choose("decoder", files.decoder, files.decoder_variant);
  choose("joiner", files.joiner, files.joiner_variant);
  files.tokens = in_directory(model_dir, "tokens.txt");
  return files;
}

}  // namespace tw

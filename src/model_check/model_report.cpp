#include "model_check/model_report.h"

#include <string_view>

#include "core/platform/paths.h"

namespace tw {
namespace {

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

std::string file_line(std::string_view network, const std::string& path, std::string_view variant) {
  const std::string label = std::string(network) + ": ";
  if (variant.empty()) return label + "none of " + joined(model_file_names(network));
  return label + path_file_name(path) + " (" + std::string(variant) + ")";
}

}  // namespace

std::vector<std::string> file_lines(const ModelFiles& files) {
  return {file_line("encoder", files.encoder, files.encoder_variant),
          file_line("decoder", files.decoder, files.decoder_variant),
          file_line("joiner", files.joiner, files.joiner_variant)};
}

std::vector<std::string> fact_lines(const ModelFacts& facts) {
  std::vector<std::string> lines;
  const std::pair<const char*, const std::vector<std::string>*> weights[] = {
      {"encoder", &facts.encoder_weights},
      {"decoder", &facts.decoder_weights},
      {"joiner", &facts.joiner_weights}};
  for (const auto& [network, files] : weights) {
    if (!files->empty()) lines.push_back(std::string(network) + " weights: " + joined(*files));
  }
  if (facts.vocab_size) {
    lines.push_back("vocabulary: " + std::to_string(*facts.vocab_size) + " tokens and the blank");
  }
  if (facts.feature_bins) lines.push_back("feature bins: " + std::to_string(*facts.feature_bins));
  if (facts.subsampling) lines.push_back("subsampling: " + std::to_string(*facts.subsampling));
  if (facts.tdt) lines.push_back(*facts.tdt ? "transducer: TDT" : "transducer: plain");
  if (facts.normalize_type) {
    lines.push_back("normalisation: " +
                    (facts.normalize_type->empty() ? std::string("none") : *facts.normalize_type));
  }
  if (facts.tokens) lines.push_back("tokens.txt: " + std::to_string(*facts.tokens) + " tokens");
  return lines;
}

}  // namespace tw

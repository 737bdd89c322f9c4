#pragma once
// The files of a transducer model in its directory.

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The four files a transducer recognizer is made from, as UTF-8 paths.
struct ModelFiles {
  std::string encoder;
  std::string decoder;
  std::string joiner;
  std::string tokens;
  // Which variant of each network was found: "int8", "fp16", "fp32" or "plain" (network.onnx);
  // empty when none exists.
  std::string_view encoder_variant = {};
  std::string_view decoder_variant = {};
  std::string_view joiner_variant = {};
};

// The file of `network` ("encoder", "decoder" or "joiner") in `model_dir`: the first existing
// file of network.int8.onnx, network.fp16.onnx, network.fp32.onnx and network.onnx (links
// followed; directories and errors while looking count as absent), or network.int8.onnx when
// none exists, so that the library's refusal reports it.
std::string find_model_file(std::string_view model_dir, std::string_view network);

// The file names looked for, in the order of preference: network.int8.onnx ... network.onnx.
std::vector<std::string> model_file_names(std::string_view network);

// The encoder, decoder and joiner found as above with their variants, and tokens.txt, whose
// existence is not tested.
ModelFiles find_model_files(std::string_view model_dir);

}  // namespace tw

#pragma once
// The files of a transducer model in its directory.

#include <string>
#include <string_view>

namespace tw {

// The four files a transducer recognizer is made from, as UTF-8 paths.
struct ModelFiles {
  std::string encoder;
  std::string decoder;
  std::string joiner;
  std::string tokens;
};

// The file of `network` ("encoder", "decoder" or "joiner") in `model_dir`: the first existing
// file of network.int8.onnx, network.fp16.onnx, network.fp32.onnx and network.onnx (links
// followed; directories and errors while looking count as absent), or network.int8.onnx when
// none exists, so that the library's refusal reports it.
std::string find_model_file(std::string_view model_dir, std::string_view network);

// The encoder, decoder and joiner found as above, and tokens.txt, whose existence is not tested.
ModelFiles find_model_files(std::string_view model_dir);

}  // namespace tw

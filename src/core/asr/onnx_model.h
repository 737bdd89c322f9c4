#pragma once
// What the worker needs to know about an ONNX model file before the speech library loads it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/asr/protobuf_wire.h"
#include "core/error.h"

namespace tw {

struct OnnxModelSummary {
  // The model's metadata_props; a key given twice keeps its last value, as ONNX Runtime does.
  std::map<std::string, std::string> metadata;
  // The declared dimensions of the graph's first input and first output (nothing for a symbolic
  // or unknown one); nothing at all when there is no such input or output or it declares no
  // shape.
  std::optional<std::vector<std::optional<std::int64_t>>> first_input_dims;
  std::optional<std::vector<std::optional<std::int64_t>>> first_output_dims;
  // The files that hold the graph's initializers stored outside the model (onnx's external
  // data), as their "location" entries name them relative to the model's directory: each once,
  // in the order first named.
  std::vector<std::string> external_data_files;
};

// Reads `source` as an ONNX ModelProto: its outer fields must be well-formed protocol-buffer
// data that ends where the file ends, with an IR version and a graph; the metadata entries, the
// graph's first input and output and the external-data entries of its initializers are read in
// full, the rest is skipped unread.
Result<OnnxModelSummary> read_onnx_model(ByteSource& source);

}  // namespace tw

#include "core/asr/onnx_model.h"

#include <algorithm>
#include <utility>

namespace tw {
namespace {

// Field numbers of onnx.proto.
namespace model_proto {
constexpr std::uint32_t IR_VERSION = 1;
constexpr std::uint32_t GRAPH = 7;
constexpr std::uint32_t METADATA_PROPS = 14;
}  // namespace model_proto
namespace string_entry {
constexpr std::uint32_t KEY = 1;
constexpr std::uint32_t VALUE = 2;
}  // namespace string_entry
namespace graph_proto {
constexpr std::uint32_t INITIALIZER = 5;
constexpr std::uint32_t INPUT = 11;
constexpr std::uint32_t OUTPUT = 12;
}  // namespace graph_proto
namespace tensor_proto {
constexpr std::uint32_t EXTERNAL_DATA = 13;
constexpr std::uint32_t DATA_LOCATION = 14;
constexpr std::uint64_t EXTERNAL = 1;
}  // namespace tensor_proto
namespace value_info {
constexpr std::uint32_t TYPE = 2;
}
namespace type_proto {
constexpr std::uint32_t TENSOR_TYPE = 1;
}
namespace tensor_type {
constexpr std::uint32_t SHAPE = 2;
}
namespace shape_proto {
constexpr std::uint32_t DIM = 1;
}
namespace dimension {
constexpr std::uint32_t DIM_VALUE = 1;
constexpr std::uint32_t DIM_PARAM = 2;
}  // namespace dimension

// Metadata texts are short; anything longer is not worth reading.
constexpr std::uint64_t MAX_METADATA_BYTES = 1 << 20;

bool is_message(const WireField& field, std::uint32_t number) {
  return field.number == number && field.type == WireType::Bytes;
}

// Walks every field of `reader`, calling `visit` for each; false when the bytes are malformed
// or `visit` says so. A field with a known number and an unexpected wire type is an unknown
// field to protobuf, so `visit` simply ignores it.
template <class Visit>
bool each_field(MessageReader reader, Visit&& visit) {
  while (std::optional<WireField> field = reader.next()) {
    if (!visit(reader, *field)) return false;
  }
  return !reader.failed();
}

// A StringStringEntryProto: its key and value (a field given twice keeps its last value).
std::optional<std::pair<std::string, std::string>> read_string_entry(const MessageReader& outer,
                                                                     const WireField& entry) {
  std::pair<std::string, std::string> key_value;
  const bool ok = each_field(outer.nested(entry), [&](const MessageReader& r, const WireField& f) {
    if (!is_message(f, string_entry::KEY) && !is_message(f, string_entry::VALUE)) return true;
    std::optional<std::string> text = r.bytes(f, MAX_METADATA_BYTES);
    if (!text) return false;
    (f.number == string_entry::KEY ? key_value.first : key_value.second) = std::move(*text);
    return true;
  });
  if (!ok) return std::nullopt;
  return key_value;
}

bool read_metadata_entry(const MessageReader& outer, const WireField& entry,
                         std::map<std::string, std::string>& metadata) {
  auto key_value = read_string_entry(outer, entry);
  if (key_value) metadata[key_value->first] = std::move(key_value->second);
  return key_value.has_value();
}

// An initializer (TensorProto) whose data lies outside the model adds its file to `files`. Its
// raw data, however large, is skipped unread.
bool read_external_location(const MessageReader& outer, const WireField& field,
                            std::vector<std::string>& files) {
  bool external = false;
  std::optional<std::string> location;
  const bool ok = each_field(outer.nested(field), [&](const MessageReader& r, const WireField& f) {
    if (f.number == tensor_proto::DATA_LOCATION && f.type == WireType::Varint) {
      external = f.value == tensor_proto::EXTERNAL;
    } else if (is_message(f, tensor_proto::EXTERNAL_DATA)) {
      auto key_value = read_string_entry(r, f);
      if (!key_value) return false;
      if (key_value->first == "location") location = std::move(key_value->second);
    }
    return true;
  });
  if (ok && external && location &&
      std::find(files.begin(), files.end(), *location) == files.end()) {
    files.push_back(std::move(*location));
  }
  return ok;
}

// One dimension of a shape; repeated messages merge, so a later value or name replaces an
// earlier one.
bool read_dimension(const MessageReader& outer, const WireField& field,
                    std::vector<std::optional<std::int64_t>>& dims) {
  std::optional<std::int64_t> dim;
  const bool ok = each_field(outer.nested(field), [&](const MessageReader&, const WireField& f) {
    if (f.number == dimension::DIM_VALUE && f.type == WireType::Varint) {
      dim = static_cast<std::int64_t>(f.value);
    } else if (is_message(f, dimension::DIM_PARAM)) {
      dim.reset();
    }
    return true;
  });
  dims.push_back(dim);
  return ok;
}

// The declared shape of an input or output (ValueInfoProto), when it has one.
bool read_value_shape(const MessageReader& outer, const WireField& field,
                      std::optional<std::vector<std::optional<std::int64_t>>>& shape) {
  return each_field(outer.nested(field), [&](const MessageReader& r, const WireField& f) {
    if (!is_message(f, value_info::TYPE)) return true;
    return each_field(r.nested(f), [&](const MessageReader& r, const WireField& f) {
      if (!is_message(f, type_proto::TENSOR_TYPE)) return true;
      return each_field(r.nested(f), [&](const MessageReader& r, const WireField& f) {
        if (!is_message(f, tensor_type::SHAPE)) return true;
        if (!shape) shape.emplace();
        return each_field(r.nested(f), [&](const MessageReader& r, const WireField& f) {
          return !is_message(f, shape_proto::DIM) || read_dimension(r, f, *shape);
        });
      });
    });
  });
}

}  // namespace

Result<OnnxModelSummary> read_onnx_model(ByteSource& source) {
  OnnxModelSummary summary;
  bool has_ir_version = false;
  bool has_graph = false;
  bool first_input_seen = false;
  bool first_output_seen = false;
  const bool well_formed =
      each_field(MessageReader(source), [&](const MessageReader& r, const WireField& f) {
        if (f.number == model_proto::IR_VERSION && f.type == WireType::Varint) {
          has_ir_version = true;
        } else if (is_message(f, model_proto::METADATA_PROPS)) {
          return read_metadata_entry(r, f, summary.metadata);
        } else if (is_message(f, model_proto::GRAPH)) {
          has_graph = true;
          // Repeated graph fields merge: their inputs and outputs follow one another.
          return each_field(r.nested(f), [&](const MessageReader& r, const WireField& f) {
            if (is_message(f, graph_proto::INPUT) && !first_input_seen) {
              first_input_seen = true;
              return read_value_shape(r, f, summary.first_input_dims);
            }
            if (is_message(f, graph_proto::OUTPUT) && !first_output_seen) {
              first_output_seen = true;
              return read_value_shape(r, f, summary.first_output_dims);
            }
            if (is_message(f, graph_proto::INITIALIZER)) {
              return read_external_location(r, f, summary.external_data_files);
            }
            return true;
          });
        }
        return true;
      });
  if (!well_formed) return fail("not an ONNX model");
  if (!has_ir_version) return fail("no IR version");
  if (!has_graph) return fail("no graph");
  // A shape of rank 0 has no dimension to look at.
  if (summary.first_input_dims && summary.first_input_dims->empty()) {
    summary.first_input_dims.reset();
  }
  if (summary.first_output_dims && summary.first_output_dims->empty()) {
    summary.first_output_dims.reset();
  }
  return summary;
}

}  // namespace tw

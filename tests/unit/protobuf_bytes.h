#pragma once
// Writing protocol-buffer bytes by hand, for tests of the readers.

#include <cstdint>
#include <string>

namespace tw::testing {

inline std::string varint(std::uint64_t value) {
  std::string out;
  do {
    std::uint8_t byte = value & 0x7F;
    value >>= 7;
    if (value != 0) byte |= 0x80;
    out += static_cast<char>(byte);
  } while (value != 0);
  return out;
}

inline std::string tag(std::uint32_t number, int wire_type) {
  return varint((static_cast<std::uint64_t>(number) << 3) | static_cast<std::uint64_t>(wire_type));
}

inline std::string varint_field(std::uint32_t number, std::uint64_t value) {
  return tag(number, 0) + varint(value);
}

inline std::string bytes_field(std::uint32_t number, const std::string& payload) {
  return tag(number, 2) + varint(payload.size()) + payload;
}

// ONNX messages, with only the fields the readers look at.
namespace onnx {

inline std::string metadata(const std::string& key, const std::string& value) {
  return bytes_field(14, bytes_field(1, key) + bytes_field(2, value));
}

// A dimension: a number, or a symbolic name when `name` is given.
inline std::string dim(std::int64_t value) {
  return bytes_field(1, varint_field(1, static_cast<std::uint64_t>(value)));
}
inline std::string dim(const std::string& name) { return bytes_field(1, bytes_field(2, name)); }

// A graph input or output (ValueInfoProto) of float type with the given dims (shape omitted if
// `has_shape` is false).
inline std::string value_info(std::uint32_t field, const std::string& name, const std::string& dims,
                              bool has_shape) {
  std::string tensor = varint_field(1, 1);  // elem_type float
  if (has_shape) tensor += bytes_field(2, dims);
  return bytes_field(field, bytes_field(1, name) + bytes_field(2, bytes_field(1, tensor)));
}
inline std::string input(const std::string& name, const std::string& dims, bool has_shape = true) {
  return value_info(11, name, dims, has_shape);
}
inline std::string output(const std::string& name, const std::string& dims, bool has_shape = true) {
  return value_info(12, name, dims, has_shape);
}

inline std::string graph(const std::string& fields) { return bytes_field(7, fields); }

inline std::string node(const std::string& op) { return bytes_field(1, bytes_field(4, op)); }

// A graph initializer (TensorProto) with its data in the model, or in the file `location` when
// `external` (onnx's external data: a location entry, then where the bytes lie in the file).
inline std::string initializer(const std::string& location, bool external) {
  auto entry = [](const std::string& key, const std::string& value) {
    return bytes_field(13, bytes_field(1, key) + bytes_field(2, value));
  };
  const std::string data = external ? entry("location", location) + entry("offset", "0") +
                                          entry("length", "4") + varint_field(14, 1)
                                    : bytes_field(9, "\0\0\0\0");
  return bytes_field(5, bytes_field(8, "w") + data);
}

inline const std::string IR_VERSION = varint_field(1, 8);

}  // namespace onnx
}  // namespace tw::testing

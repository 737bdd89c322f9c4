#include "core/json/json_writer.h"

#include "core/json/json_number.h"
#include "core/platform/fail_fast.h"

namespace tw {
namespace {

constexpr char HEX_DIGITS[] = "0123456789abcdef";

void append_value(std::string& out, const nlohmann::json& value) {
  using Type = nlohmann::json::value_t;
  switch (value.type()) {
    case Type::null:
      out += "null";
      return;
    case Type::boolean:
      out += value.get<bool>() ? "true" : "false";
      return;
    case Type::number_integer:
      out += std::to_string(value.get<std::int64_t>());
      return;
    case Type::number_unsigned:
      out += std::to_string(value.get<std::uint64_t>());
      return;
    case Type::number_float:
      append_json_number(out, value.get<double>());
      return;
    case Type::string:
      append_json_string(out, value.get_ref<const std::string&>());
      return;
    case Type::array: {
      out += '[';
      bool first = true;
      for (const nlohmann::json& element : value) {
        if (!first) out += ',';
        first = false;
        append_value(out, element);
      }
      out += ']';
      return;
    }
    case Type::object: {
      // The object keeps its members ordered by key, which is the order they are written in.
      out += '{';
      bool first = true;
      for (const auto& [key, member] : value.items()) {
        if (!first) out += ',';
        first = false;
        append_json_string(out, key);
        out += ':';
        append_value(out, member);
      }
      out += '}';
      return;
    }
    case Type::binary:
    case Type::discarded:
      break;
  }
  fail_fast("a record holds a value that has no JSON text");
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\\u00";
          out += HEX_DIGITS[(c >> 4) & 0xF];
          out += HEX_DIGITS[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

std::string compact_json(const nlohmann::json& value) {
  std::string out;
  append_value(out, value);
  return out;
}

}  // namespace tw

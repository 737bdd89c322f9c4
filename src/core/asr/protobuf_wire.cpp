#include "core/asr/protobuf_wire.h"

#include <algorithm>
#include <cstring>

namespace tw {
namespace {

constexpr std::size_t FILE_WINDOW_BYTES = 64 * 1024;
constexpr int MAX_VARINT_BYTES = 10;
constexpr std::uint32_t MAX_FIELD_NUMBER = (1u << 29) - 1;
// Nested groups deeper than this are taken for garbage rather than followed.
constexpr int MAX_GROUP_DEPTH = 64;

}  // namespace

bool MemoryBytes::read(std::uint64_t offset, std::span<char> out) {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
  std::memcpy(out.data(), bytes_.data() + offset, out.size());
  return true;
}

std::optional<FileBytes> FileBytes::open(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (!file || size < 0) return std::nullopt;
  return FileBytes(std::move(file), static_cast<std::uint64_t>(size));
}

bool FileBytes::read(std::uint64_t offset, std::span<char> out) {
  if (offset > size_ || out.size() > size_ - offset) return false;
  const bool in_window = offset >= window_start_ && out.size() <= window_.size() &&
                         offset - window_start_ <= window_.size() - out.size();
  if (!in_window) {
    const std::uint64_t wanted = std::max<std::uint64_t>(out.size(), FILE_WINDOW_BYTES);
    window_.resize(static_cast<std::size_t>(std::min(wanted, size_ - offset)));
    window_start_ = offset;
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(offset));
    file_.read(window_.data(), static_cast<std::streamsize>(window_.size()));
    if (!file_ || static_cast<std::size_t>(file_.gcount()) != window_.size()) {
      window_.clear();
      return false;
    }
  }
  std::memcpy(out.data(), window_.data() + (offset - window_start_), out.size());
  return true;
}

std::optional<std::uint64_t> MessageReader::varint() {
  std::uint64_t value = 0;
  for (int i = 0; i < MAX_VARINT_BYTES; ++i) {
    char byte;
    if (position_ >= end_ || !source_->read(position_, {&byte, 1})) return std::nullopt;
    ++position_;
    const auto bits = static_cast<std::uint8_t>(byte);
    value |= static_cast<std::uint64_t>(bits & 0x7F) << (7 * i);
    if ((bits & 0x80) == 0) return value;
  }
  return std::nullopt;
}

std::optional<WireField> MessageReader::next_field() {
  const std::optional<std::uint64_t> tag = varint();
  if (!tag) return std::nullopt;
  WireField field;
  const std::uint64_t number = *tag >> 3;
  if (number == 0 || number > MAX_FIELD_NUMBER) return std::nullopt;
  field.number = static_cast<std::uint32_t>(number);
  switch (*tag & 7) {
    case 0: {
      field.type = WireType::Varint;
      const auto value = varint();
      if (!value) return std::nullopt;
      field.value = *value;
      return field;
    }
    case 1:
    case 5: {
      const bool wide = (*tag & 7) == 1;
      field.type = wide ? WireType::Fixed64 : WireType::Fixed32;
      const std::uint64_t size = wide ? 8 : 4;
      char raw[8] = {};
      if (end_ - position_ < size || !source_->read(position_, {raw, size})) return std::nullopt;
      position_ += size;
      for (std::uint64_t i = 0; i < size; ++i) {
        field.value |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(raw[i])) << (8 * i);
      }
      return field;
    }
    case 2: {
      field.type = WireType::Bytes;
      const auto length = varint();
      if (!length || *length > end_ - position_) return std::nullopt;
      field.offset = position_;
      field.length = *length;
      position_ += *length;
      return field;
    }
    case 3:
      field.type = WireType::StartGroup;
      return field;
    case 4:
      field.type = WireType::EndGroup;
      return field;
    default:
      return std::nullopt;
  }
}

bool MessageReader::skip_group(std::uint32_t number, int depth) {
  if (depth > MAX_GROUP_DEPTH) return false;
  while (true) {
    const std::optional<WireField> field = next_field();
    if (!field) return false;
    if (field->type == WireType::EndGroup) return field->number == number;
    if (field->type == WireType::StartGroup && !skip_group(field->number, depth + 1)) {
      return false;
    }
  }
}

std::optional<WireField> MessageReader::next() {
  while (!failed_ && position_ < end_) {
    std::optional<WireField> field = next_field();
    if (!field || field->type == WireType::EndGroup ||
        (field->type == WireType::StartGroup && !skip_group(field->number, 1))) {
      failed_ = true;
      return std::nullopt;
    }
    if (field->type != WireType::StartGroup) return field;
  }
  return std::nullopt;
}

std::optional<std::string> MessageReader::bytes(const WireField& field, std::uint64_t limit) const {
  if (field.type != WireType::Bytes || field.length > limit) return std::nullopt;
  std::string payload(static_cast<std::size_t>(field.length), '\0');
  if (!source_->read(field.offset, {payload.data(), payload.size()})) return std::nullopt;
  return payload;
}

}  // namespace tw

#pragma once
// A minimal reader of the protocol-buffer wire format, enough to walk an ONNX model's outer
// structure without a protobuf library. Length-delimited fields are not read unless asked for,
// so a model of hundreds of megabytes costs a few small reads.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tw {

// Random-access bytes: a file or, in tests, memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Copies the bytes at [offset, offset + out.size()); false when they are not all there.
  virtual bool read(std::uint64_t offset, std::span<char> out) = 0;
};

class MemoryBytes final : public ByteSource {
 public:
  explicit MemoryBytes(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool read(std::uint64_t offset, std::span<char> out) override;

 private:
  std::string bytes_;
};

class FileBytes final : public ByteSource {
 public:
  // Nothing when the file cannot be opened or its size found.
  static std::optional<FileBytes> open(const std::filesystem::path& path);
  std::uint64_t size() const override { return size_; }
  bool read(std::uint64_t offset, std::span<char> out) override;

 private:
  FileBytes(std::ifstream file, std::uint64_t size) : file_(std::move(file)), size_(size) {}

  std::ifstream file_;
  std::uint64_t size_;
  std::vector<char> window_;  // the bytes at [window_start_, window_start_ + window_.size())
  std::uint64_t window_start_ = 0;
};

enum class WireType : std::uint8_t {
  Varint = 0,
  Fixed64 = 1,
  Bytes = 2,
  StartGroup = 3,
  EndGroup = 4,
  Fixed32 = 5,
};

struct WireField {
  std::uint32_t number = 0;
  WireType type = WireType::Varint;
  std::uint64_t value = 0;   // Varint, Fixed64 and Fixed32 fields
  std::uint64_t offset = 0;  // Bytes fields: where the payload starts
  std::uint64_t length = 0;  // Bytes fields: the payload's length
};

// The fields of one message, in order. Stops at the first malformed byte: a tag or varint that
// runs past the end or over ten bytes, field number 0, wire type 6 or 7, a payload longer than
// what is left, an unmatched group end.
class MessageReader {
 public:
  MessageReader(ByteSource& source, std::uint64_t begin, std::uint64_t end)
      : source_(&source), position_(begin), end_(end) {}

  // The whole of `source` as one message.
  explicit MessageReader(ByteSource& source) : MessageReader(source, 0, source.size()) {}

  // The next field; nothing at the end of the message or at malformed bytes (see failed()).
  // Groups are skipped whole: they belong to no field this reader is used for.
  std::optional<WireField> next();
  bool failed() const { return failed_; }

  // The message held in a Bytes field.
  MessageReader nested(const WireField& field) const {
    return MessageReader(*source_, field.offset, field.offset + field.length);
  }
  // The payload of a Bytes field, when it is at most `limit` bytes long.
  std::optional<std::string> bytes(const WireField& field, std::uint64_t limit) const;

 private:
  std::optional<WireField> next_field();
  std::optional<std::uint64_t> varint();
  bool skip_group(std::uint32_t number, int depth);

  ByteSource* source_;
  std::uint64_t position_;
  std::uint64_t end_;
  bool failed_ = false;
};

}  // namespace tw

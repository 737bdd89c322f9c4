#pragma once
// What the decoder writes to its standard error, kept for the message of a failed run.
//
// A decoder that floods its error output must not exhaust the worker's memory, so only the
// first ERROR_OUTPUT_HEAD_BYTES and the last ERROR_OUTPUT_TAIL_BYTES are kept; the first lines
// usually name the cause and the last ones what ffmpeg was doing when it gave up. When bytes
// were left out, the text holds a line "[... N bytes left out ...]" between the two parts.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tw {

inline constexpr std::size_t ERROR_OUTPUT_HEAD_BYTES = 16384;
inline constexpr std::size_t ERROR_OUTPUT_TAIL_BYTES = 16384;

class ErrorOutput {
 public:
  void append(std::span<const std::byte> bytes);

  // The kept bytes as text, each maximal invalid UTF-8 subpart replaced by U+FFFD. The head
  // and the tail are each cut at a character boundary.
  std::string text() const;

  // Every byte appended so far, kept or not.
  std::uint64_t total_bytes() const { return total_; }

 private:
  std::string head_;
  std::string tail_;  // the bytes after the head, trimmed to the tail limit now and then
  std::uint64_t total_ = 0;
};

}  // namespace tw

#pragma once
// Turns the decoder's raw output (signed 16-bit little-endian samples) into float samples.
// Reads may end in the middle of a sample: the odd byte is kept for the next read.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace tw {

// The most bytes taken from the decoder in one read.
inline constexpr std::size_t READ_CHUNK = 65536;

class PcmConverter {
 public:
  PcmConverter();

  // The samples completed by `bytes`, each the 16-bit value times 2^-15 (exact). The span
  // stays valid until the next call.
  std::span<const float> convert(std::span<const std::byte> bytes);

  // Whether a byte is waiting for its partner; one left at the end of the output is dropped.
  bool has_carried_byte() const { return carried_.has_value(); }

 private:
  std::vector<float> samples_;  // reused: one full read plus a carried byte fits
  std::optional<std::byte> carried_;
};

}  // namespace tw

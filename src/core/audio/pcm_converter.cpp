#include "core/audio/pcm_converter.h"

#include <cstdint>

namespace tw {
namespace {

float to_sample(std::byte low, std::byte high) {
  const auto bits = static_cast<std::uint16_t>(std::to_integer<std::uint16_t>(low) |
                                               std::to_integer<std::uint16_t>(high) << 8);
  return static_cast<float>(static_cast<std::int16_t>(bits)) * 0x1p-15f;
}

}  // namespace

PcmConverter::PcmConverter() { samples_.reserve(READ_CHUNK / 2 + 1); }

std::span<const float> PcmConverter::convert(std::span<const std::byte> bytes) {
  samples_.clear();
  std::size_t i = 0;
  if (carried_ && !bytes.empty()) {
    samples_.push_back(to_sample(*carried_, bytes[0]));
    carried_.reset();
    i = 1;
  }
  for (; i + 1 < bytes.size(); i += 2) samples_.push_back(to_sample(bytes[i], bytes[i + 1]));
  if (i < bytes.size()) carried_ = bytes[i];
  return samples_;
}

}  // namespace tw

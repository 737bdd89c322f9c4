#pragma once
// A stretch of decoded audio on its way from the decoder to the recognizer.

#include <cstdint>
#include <vector>

namespace tw {

// The rate of every sample the worker handles, in samples per second.
inline constexpr std::int32_t SAMPLE_RATE = 16000;

struct Piece {
  std::vector<float> samples;  // mono, SAMPLE_RATE, 16-bit PCM values times 2^-15; never empty
  double start = 0.0;  // seconds from the beginning of the file, the --start offset included

  double end() const { return static_cast<double>(samples.size()) / 16000.0 + start; }
};

}  // namespace tw

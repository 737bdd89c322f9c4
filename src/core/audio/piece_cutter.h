#pragma once
// Cuts the sample stream into pieces of 20 to 30 seconds, each ending in the middle of the
// quietest 20 ms between 20 and 30 seconds, so that words are rarely split between pieces.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/audio/piece.h"

namespace tw {

inline constexpr std::size_t MIN_PIECE_SAMPLES = 320000;  // first index a cut may lie in (20 s)
inline constexpr std::size_t MAX_PIECE_SAMPLES = 480000;  // pending count that forces a cut (30 s)
inline constexpr std::size_t CUT_WINDOW = 320;            // samples in one energy window (20 ms)
inline constexpr std::size_t MIN_TAIL_SAMPLES = 1600;     // shortest final piece sent (0.1 s)
inline constexpr std::size_t PENDING_CAPACITY_SAMPLES = 960000;  // 60 s, allocated once

// The absolute sample index of `start` seconds: rounded half away from zero, 0 for negative
// or not-a-number values, saturated at the largest 64-bit value.
std::uint64_t sample_index_of(double start);

class PieceCutter {
 public:
  // `start` is the time of the first sample that will be pushed, in seconds.
  explicit PieceCutter(double start);

  // Appends `samples` and returns the pieces completed by them, in order.
  std::vector<Piece> push(std::span<const float> samples);

  // Everything still pending as the last piece, or nothing when it is shorter than
  // MIN_TAIL_SAMPLES. Pending is empty afterwards.
  std::optional<Piece> finish();

  // Absolute index of the first pending sample.
  std::uint64_t next_index() const { return next_index_; }

  // The pending buffer, so tests can see that it is never reallocated.
  const std::vector<float>& pending() const { return pending_; }

 private:
  std::size_t quietest_cut() const;
  Piece take_front(std::size_t count);

  std::vector<float> pending_;
  std::uint64_t next_index_;
};

}  // namespace tw

#include "core/audio/piece_cutter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tw {
namespace {

constexpr std::size_t CUT_WINDOWS = (MAX_PIECE_SAMPLES - MIN_PIECE_SAMPLES) / CUT_WINDOW;

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t sum = a + b;
  return sum < a ? std::numeric_limits<std::uint64_t>::max() : sum;
}

}  // namespace

std::uint64_t sample_index_of(double start) {
  const double product = start * static_cast<double>(SAMPLE_RATE);
  if (!(product > 0.0)) return 0;
  const double rounded = std::round(product);
  // 2^64: the first value that does not fit.
  if (rounded >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(rounded);
}

PieceCutter::PieceCutter(double start) : next_index_(sample_index_of(start)) {
  pending_.reserve(PENDING_CAPACITY_SAMPLES);
}

std::vector<Piece> PieceCutter::push(std::span<const float> samples) {
  std::vector<Piece> pieces;
  // Appending in portions that fit keeps pending within its first allocation whatever the
  // caller hands in; cutting only ever looks at the first MAX_PIECE_SAMPLES, so the pieces are
  // the same as if everything had been appended at once.
  while (!samples.empty()) {
    const std::size_t room = PENDING_CAPACITY_SAMPLES - pending_.size();
    const std::size_t count = std::min(room, samples.size());
    pending_.insert(pending_.end(), samples.begin(), samples.begin() + count);
    samples = samples.subspan(count);
    while (pending_.size() >= MAX_PIECE_SAMPLES) pieces.push_back(take_front(quietest_cut()));
  }
  return pieces;
}

std::optional<Piece> PieceCutter::finish() {
  if (pending_.size() < MIN_TAIL_SAMPLES) {
    pending_.clear();
    return std::nullopt;
  }
  return take_front(pending_.size());
}

std::size_t PieceCutter::quietest_cut() const {
  // Plain 32-bit sums in index order: the same cut on every compiler and platform.
  float best_energy = std::numeric_limits<float>::max();
  std::size_t best_window = 0;
  for (std::size_t k = 0; k < CUT_WINDOWS; ++k) {
    const float* window = pending_.data() + MIN_PIECE_SAMPLES + CUT_WINDOW * k;
    float energy = -0.0f;
    for (std::size_t i = 0; i < CUT_WINDOW; ++i) energy += window[i] * window[i];
    if (energy < best_energy) {
      best_energy = energy;
      best_window = k;
    }
  }
  return MIN_PIECE_SAMPLES + CUT_WINDOW * best_window + CUT_WINDOW / 2;
}

Piece PieceCutter::take_front(std::size_t count) {
  Piece piece{std::vector<float>(pending_.begin(), pending_.begin() + count),
              static_cast<double>(next_index_) / 16000.0};
  pending_.erase(pending_.begin(), pending_.begin() + count);
  next_index_ = saturating_add(next_index_, count);
  return piece;
}

}  // namespace tw

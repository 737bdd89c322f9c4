#include "core/asr/decode_sizing.h"

#include <algorithm>

namespace tw {

DecodePlan plan_decoding(bool use_cuda, unsigned logical_processors, std::uint64_t batch) {
  if (use_cuda) return DecodePlan{.workers = 1, .num_threads = 2, .batch = batch};
  const unsigned n = logical_processors == 0 ? 4 : logical_processors;
  const unsigned spare = n < 2 ? 0 : n - 2;
  if (spare >= 8) {
    return DecodePlan{
        .workers = std::min<std::uint64_t>(spare / 4, 6), .num_threads = 4, .batch = batch};
  }
  return DecodePlan{
      .workers = 1, .num_threads = static_cast<std::int32_t>(std::max(spare, 1u)), .batch = batch};
}

DecodePlan plan_many_files_decoding(bool use_cuda, unsigned logical_processors,
                                    std::uint64_t batch) {
  if (use_cuda || batch > 1) return plan_decoding(use_cuda, logical_processors, batch);
  const unsigned n = logical_processors == 0 ? 4 : logical_processors;
  const unsigned workers = std::clamp(n - 1, 2u, 6u);
  return DecodePlan{.workers = workers,
                    .num_threads = static_cast<std::int32_t>(std::max((n - 1) / workers, 1u)),
                    .batch = batch};
}

std::uint64_t piece_queue_capacity(std::uint64_t workers, std::uint64_t effective_batch) {
  std::uint64_t capacity = 0;
  if (__builtin_mul_overflow(workers, effective_batch, &capacity) ||
      __builtin_mul_overflow(capacity, std::uint64_t{2}, &capacity)) {
    return MAX_QUEUED_PIECES;
  }
  return std::min(capacity, MAX_QUEUED_PIECES);
}

}  // namespace tw

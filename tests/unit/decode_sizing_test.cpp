#include "core/asr/decode_sizing.h"

#include <gtest/gtest.h>

#include <limits>

namespace tw {
namespace {

struct Sizing {
  unsigned processors;
  std::uint64_t workers;
  std::int32_t num_threads;
};

TEST(DecodeSizing, CpuFollowsTheProcessorCount) {
  const Sizing table[] = {{0, 1, 2},  {1, 1, 1},  {2, 1, 1},  {3, 1, 1},  {4, 1, 2},
                          {9, 1, 7},  {10, 2, 4}, {13, 2, 4}, {14, 3, 4}, {17, 3, 4},
                          {18, 4, 4}, {25, 5, 4}, {26, 6, 4}, {64, 6, 4}, {256, 6, 4}};
  for (const Sizing& row : table) {
    DecodePlan plan = plan_decoding(false, row.processors, 3);
    EXPECT_EQ(plan.workers, row.workers) << row.processors << " processors";
    EXPECT_EQ(plan.num_threads, row.num_threads) << row.processors << " processors";
    EXPECT_EQ(plan.batch, 3u);
  }
}

TEST(DecodeSizing, CudaIsOneDecoderWithTwoThreadsWhateverTheMachine) {
  for (unsigned processors : {0u, 1u, 26u}) {
    DecodePlan plan = plan_decoding(true, processors, 0);
    EXPECT_EQ(plan.workers, 1u);
    EXPECT_EQ(plan.num_threads, 2);
    EXPECT_EQ(plan.batch, 0u);  // unchanged: the recognizer raises 0 to 1
  }
}

TEST(DecodeSizing, ManyFilesDecodeOnThreadsOfTheirOwnUnlessBatchedOrOnCuda) {
  const Sizing table[] = {{0, 3, 1}, {1, 2, 1}, {2, 2, 1}, {4, 3, 1}, {8, 6, 1}, {16, 6, 2}};
  for (const Sizing& row : table) {
    DecodePlan plan = plan_many_files_decoding(false, row.processors, 1);
    EXPECT_EQ(plan.workers, row.workers) << row.processors << " processors";
    EXPECT_EQ(plan.num_threads, row.num_threads) << row.processors << " processors";
  }
  EXPECT_EQ(plan_many_files_decoding(false, 8, 4).workers, 1u);
  EXPECT_EQ(plan_many_files_decoding(true, 8, 1).num_threads, 2);
}

TEST(DecodeSizing, QueueCapacityIsTwiceWorkersTimesBatchUpToTheCap) {
  EXPECT_EQ(piece_queue_capacity(1, 1), 2u);
  EXPECT_EQ(piece_queue_capacity(6, 3), 36u);
  EXPECT_EQ(piece_queue_capacity(1, 32), 64u);
  // Waiting samples stay bounded whatever the batch, also when the product does not fit 64 bits.
  EXPECT_EQ(piece_queue_capacity(6, 6), 64u);
  EXPECT_EQ(piece_queue_capacity(1, 1000000), 64u);
  const std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
  EXPECT_EQ(piece_queue_capacity(1, most), 64u);
  EXPECT_EQ(piece_queue_capacity(6, most / 4), 64u);
}

}  // namespace
}  // namespace tw

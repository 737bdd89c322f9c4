#include "core/audio/piece_cutter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

namespace tw {
namespace {

// A loud, slowly varying signal: no window of it is silent.
std::vector<float> loud(std::size_t count, std::size_t offset = 0) {
  std::vector<float> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    samples[i] =
        0.5f + 0.25f * static_cast<float>(std::sin(0.001 * static_cast<double>(i + offset)));
  }
  return samples;
}

// Pushes `samples` in reads of at most 32768 samples, as the audio thread does, then finishes.
std::vector<Piece> cut_all(PieceCutter& cutter, const std::vector<float>& samples) {
  std::vector<Piece> pieces;
  for (std::size_t at = 0; at < samples.size(); at += 32768) {
    const std::size_t count = std::min<std::size_t>(32768, samples.size() - at);
    for (Piece& piece : cutter.push(std::span(samples).subspan(at, count))) {
      pieces.push_back(std::move(piece));
    }
  }
  if (auto last = cutter.finish()) pieces.push_back(std::move(*last));
  return pieces;
}

std::vector<std::size_t> sizes(const std::vector<Piece>& pieces) {
  std::vector<std::size_t> out;
  for (const Piece& piece : pieces) out.push_back(piece.samples.size());
  return out;
}

TEST(SampleIndex, RoundsHalfAwayFromZeroAndSaturates) {
  EXPECT_EQ(sample_index_of(12.3456), 197530u);  // 197529.6
  EXPECT_EQ(sample_index_of(0.0), 0u);
  EXPECT_EQ(sample_index_of(1.0 / 32000.0), 1u);  // exactly 0.5 rounds up
  EXPECT_EQ(sample_index_of(3.0 / 32000.0), 2u);  // exactly 1.5
  EXPECT_EQ(sample_index_of(-3.0), 0u);
  EXPECT_EQ(sample_index_of(-1.0 / 64000.0), 0u);
  EXPECT_EQ(sample_index_of(std::numeric_limits<double>::quiet_NaN()), 0u);
  EXPECT_EQ(sample_index_of(std::numeric_limits<double>::infinity()), UINT64_MAX);
  EXPECT_EQ(sample_index_of(1e15), 16000000000000000000ull);
  EXPECT_EQ(sample_index_of(1.2e16), UINT64_MAX);
}

TEST(PieceCutter, AllZeroAudioIsCutAtTheFirstWindow) {
  PieceCutter cutter(0.0);
  const std::vector<float> silence(3 * 480000, 0.0f);
  const auto pieces = cut_all(cutter, silence);
  // Every window is equally quiet, so the first one wins each time.
  // 1440000 - 3 * 320160 = 479520 is short of 30 s, so it stays for the final piece.
  ASSERT_EQ(sizes(pieces), (std::vector<std::size_t>{320160, 320160, 320160, 479520}));
  EXPECT_EQ(pieces[1].start, 320160 / 16000.0);
  EXPECT_EQ(pieces[3].start, 3 * 320160 / 16000.0);
  EXPECT_EQ(cutter.next_index(), 3u * 480000);
}

TEST(PieceCutter, FortyFiveSecondsAreCutInTheMiddleOfTheQuietestWindow) {
  std::vector<float> samples = loud(45 * 16000);
  // A quiet 20 ms window at index 400000 = 320000 + 320 * 250.
  std::fill(samples.begin() + 400000, samples.begin() + 400320, 0.001f);
  // A slightly louder dip earlier loses.
  std::fill(samples.begin() + 330000, samples.begin() + 331000, 0.002f);
  PieceCutter cutter(0.0);
  const auto pieces = cut_all(cutter, samples);
  ASSERT_EQ(sizes(pieces), (std::vector<std::size_t>{400160, 720000 - 400160}));
  EXPECT_EQ(pieces[0].start, 0.0);
  EXPECT_EQ(pieces[1].start, 400160 / 16000.0);
  // The pieces are the stream, in order and unchanged.
  EXPECT_TRUE(std::equal(samples.begin(), samples.begin() + 400160, pieces[0].samples.begin()));
  EXPECT_TRUE(std::equal(samples.begin() + 400160, samples.end(), pieces[1].samples.begin()));
}

TEST(PieceCutter, QuietWindowOutsideTheSearchRangeIsIgnored) {
  std::vector<float> samples = loud(45 * 16000);
  std::fill(samples.begin() + 100000, samples.begin() + 110000, 0.0f);  // before 20 s
  std::fill(samples.begin() + 479999, samples.begin() + 500000, 0.0f);  // the last sample on
  std::fill(samples.begin() + 330880, samples.begin() + 331200, 0.1f);  // window 34
  PieceCutter cutter(0.0);
  const auto pieces = cut_all(cutter, samples);
  EXPECT_EQ(pieces.at(0).samples.size(), 320000u + 320 * 34 + 160);
}

TEST(PieceCutter, TiesGoToTheFirstWindow) {
  std::vector<float> samples = loud(31 * 16000);
  for (std::size_t k : {420u, 100u, 300u}) {  // three equally quiet windows
    std::fill(samples.begin() + 320000 + 320 * k, samples.begin() + 320000 + 320 * (k + 1), 0.0f);
  }
  PieceCutter cutter(0.0);
  const auto pieces = cut_all(cutter, samples);
  EXPECT_EQ(pieces.at(0).samples.size(), 320000u + 320 * 100 + 160);
}

TEST(PieceCutter, TwentyFiveSecondsIsOnePieceAtFinish) {
  PieceCutter cutter(0.0);
  const std::vector<float> samples = loud(400000);
  std::vector<Piece> pushed;
  for (std::size_t at = 0; at < samples.size(); at += 32768) {
    const std::size_t count = std::min<std::size_t>(32768, samples.size() - at);
    EXPECT_TRUE(cutter.push(std::span(samples).subspan(at, count)).empty());
  }
  const auto last = cutter.finish();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->samples, samples);
  EXPECT_EQ(last->samples.capacity(), 400000u);
  EXPECT_EQ(last->start, 0.0);
  EXPECT_FALSE(cutter.finish().has_value());
}

TEST(PieceCutter, ExactlyThirtySecondsIsCutWhenTheLastReadArrives) {
  std::vector<float> samples = loud(480000);
  PieceCutter cutter(0.0);
  EXPECT_TRUE(cutter.push(std::span(samples).first(479999)).empty());
  const auto pieces = cutter.push(std::span(samples).last(1));
  ASSERT_EQ(pieces.size(), 1u);
  const std::size_t cut = pieces[0].samples.size();
  EXPECT_GE(cut, 320160u);
  EXPECT_LE(cut, 479840u);
  EXPECT_EQ((cut - 320160) % 320, 0u);
  // The rest (at least 160 samples) is a final piece only when it reaches 1600.
  const auto last = cutter.finish();
  EXPECT_EQ(last.has_value(), 480000 - cut >= MIN_TAIL_SAMPLES);

  // With silence at the very end the rest is 160 samples: dropped.
  std::fill(samples.begin() + 479680, samples.end(), 0.0f);
  PieceCutter quiet_end(0.0);
  ASSERT_EQ(sizes(cut_all(quiet_end, samples)), (std::vector<std::size_t>{479840}));
  EXPECT_EQ(quiet_end.next_index(), 479840u);
}

TEST(PieceCutter, StartTimesFollowTheRequestedStartRoundedToASample) {
  PieceCutter cutter(12.3456);
  EXPECT_EQ(cutter.next_index(), 197530u);
  const auto pieces = cut_all(cutter, std::vector<float>(500000, 0.0f));
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].start, 12.345625);
  EXPECT_EQ(pieces[1].start, (197530.0 + 320160.0) / 16000.0);
  EXPECT_EQ(cutter.next_index(), 197530u + 500000u);
}

TEST(PieceCutter, ShortTailIsDropped) {
  PieceCutter short_cutter(0.0);
  EXPECT_TRUE(short_cutter.push(std::vector<float>(1599, 0.25f)).empty());
  EXPECT_FALSE(short_cutter.finish().has_value());
  EXPECT_TRUE(short_cutter.pending().empty());

  PieceCutter long_enough(0.0);
  EXPECT_TRUE(long_enough.push(std::vector<float>(1600, 0.25f)).empty());
  const auto last = long_enough.finish();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->samples.size(), 1600u);

  PieceCutter nothing(0.0);
  EXPECT_FALSE(nothing.finish().has_value());
}

TEST(PieceCutter, PendingIsAllocatedOnceWhateverTheReadSizes) {
  PieceCutter cutter(0.0);
  const float* data = cutter.pending().data();
  const std::size_t capacity = cutter.pending().capacity();
  EXPECT_EQ(capacity, PENDING_CAPACITY_SAMPLES);
  const std::vector<float> samples = loud(5 * 960000 + 12345);
  std::size_t total = 0;
  // Ordinary reads, then one push far larger than the buffer.
  for (std::size_t at = 0; at < 1000000; at += 32768) {
    total += sizes(cutter.push(std::span(samples).subspan(at, 32768))).size();
    ASSERT_EQ(cutter.pending().data(), data);
    ASSERT_EQ(cutter.pending().capacity(), capacity);
  }
  const auto rest =
      cutter.push(std::span(samples).subspan(std::size_t{1000000} / 32768 * 32768 + 32768));
  EXPECT_EQ(cutter.pending().data(), data);
  EXPECT_EQ(cutter.pending().capacity(), capacity);
  EXPECT_LT(cutter.pending().size(), MAX_PIECE_SAMPLES);
  EXPECT_GT(total + rest.size(), 10u);
}

TEST(PieceCutter, OnePushOfEverythingCutsLikeManySmallReads) {
  std::vector<float> samples = loud(100 * 16000);
  for (std::size_t i = 0; i < samples.size(); i += 7919) samples[i] = 0.0f;  // uneven dips
  for (std::size_t at : {350000u, 830000u, 1200000u}) {
    std::fill(samples.begin() + at, samples.begin() + at + 640, 0.01f);
  }
  PieceCutter small_reads(3.5);
  const auto expected = cut_all(small_reads, samples);
  PieceCutter one_push(3.5);
  auto pieces = one_push.push(samples);
  if (auto last = one_push.finish()) pieces.push_back(std::move(*last));
  ASSERT_EQ(sizes(pieces), sizes(expected));
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(pieces[i].start, expected[i].start);
    EXPECT_EQ(pieces[i].samples, expected[i].samples);
  }
}

TEST(PieceCutter, EnergyIsSummedInSinglePrecisionInIndexOrder) {
  // Two windows holding the same squares: one large (0.25) and 319 tiny ones (1e-8, less than
  // half a float step at 0.25). Exact sums would tie and the first window would win. Summed in
  // float in index order, the tiny squares add up when they come first (window 10) but each
  // one rounds away when the large one comes first (window 20), which makes window 20 quieter.
  std::vector<float> samples = loud(31 * 16000);
  const auto window = [&](std::size_t k) { return samples.begin() + 320000 + 320 * k; };
  const float big = 0.5f;
  const float tiny = 0.0001f;
  std::fill(window(10), window(11), tiny);
  *(window(11) - 1) = big;  // window 10: tiny squares first, big last
  std::fill(window(20), window(21), tiny);
  *window(20) = big;  // window 20: big first, every tiny square rounds away
  PieceCutter cutter(0.0);
  const auto pieces = cut_all(cutter, samples);
  EXPECT_EQ(pieces.at(0).samples.size(), 320000u + 320 * 20 + 160);
}

}  // namespace
}  // namespace tw

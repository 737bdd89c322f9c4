#include "core/audio/pcm_converter.h"

#include <gtest/gtest.h>

#include <vector>

namespace tw {
namespace {

std::vector<std::byte> bytes(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

std::vector<float> convert(PcmConverter& converter, std::initializer_list<int> values) {
  const auto in = bytes(values);
  const auto out = converter.convert(in);
  return {out.begin(), out.end()};
}

TEST(PcmConverter, LittleEndianSignedSamplesScaledBy2PowMinus15) {
  PcmConverter converter;
  EXPECT_EQ(convert(converter, {0x00, 0x80, 0xFF, 0x7F, 0x00, 0x00, 0xFF, 0xFF, 0x01, 0x00}),
            (std::vector<float>{-1.0f, 0.999969482421875f, 0.0f, -0x1p-15f, 0x1p-15f}));
  EXPECT_FALSE(converter.has_carried_byte());
}

TEST(PcmConverter, OddByteBecomesTheLowByteOfTheNextSample) {
  PcmConverter converter;
  EXPECT_EQ(convert(converter, {0x00, 0x40, 0x34}), (std::vector<float>{0.5f}));
  EXPECT_TRUE(converter.has_carried_byte());
  // 0x1234 from the carried 0x34 and the new 0x12, then 0x8000.
  EXPECT_EQ(convert(converter, {0x12, 0x00, 0x80}), (std::vector<float>{0x1234 * 0x1p-15f, -1.0f}));
  EXPECT_FALSE(converter.has_carried_byte());
}

TEST(PcmConverter, CarriedByteSurvivesAnEmptyReadAndSingleBytes) {
  PcmConverter converter;
  EXPECT_TRUE(convert(converter, {0xFF}).empty());
  EXPECT_TRUE(convert(converter, {}).empty());
  EXPECT_EQ(convert(converter, {0x7F}), (std::vector<float>{0.999969482421875f}));
  EXPECT_TRUE(convert(converter, {0x01}).empty());
  EXPECT_TRUE(converter.has_carried_byte());  // an odd byte at the very end is never used
}

TEST(PcmConverter, SplittingTheStreamAnywhereGivesTheSameSamples) {
  std::vector<std::byte> stream;
  for (int i = 0; i < 1001; ++i) stream.push_back(static_cast<std::byte>(i * 37 + 11));
  PcmConverter whole_converter;
  const auto whole_span = whole_converter.convert(stream);
  const std::vector<float> whole(whole_span.begin(), whole_span.end());
  ASSERT_EQ(whole.size(), 500u);
  for (std::size_t step : {1u, 3u, 7u, 64u, 999u}) {
    PcmConverter converter;
    std::vector<float> pieces;
    for (std::size_t at = 0; at < stream.size(); at += step) {
      const auto out =
          converter.convert(std::span(stream).subspan(at, std::min(step, stream.size() - at)));
      pieces.insert(pieces.end(), out.begin(), out.end());
    }
    EXPECT_EQ(pieces, whole) << "reads of " << step << " bytes";
  }
}

TEST(PcmConverter, FullReadsReuseOneBuffer) {
  PcmConverter converter;
  std::vector<std::byte> chunk(READ_CHUNK, std::byte{0x01});
  const float* first = converter.convert(std::span(chunk).first(READ_CHUNK - 1)).data();
  for (int i = 0; i < 4; ++i) {
    const auto out = converter.convert(chunk);
    EXPECT_EQ(out.data(), first);
    EXPECT_EQ(out.size(), READ_CHUNK / 2);  // the carried byte plus an odd-length chunk
  }
}

}  // namespace
}  // namespace tw

#include "core/audio/decoder_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tw {
namespace {

using Arguments = std::vector<std::string>;

const Arguments HEAD = {
    "-format_whitelist",
    "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,mpegts,flv,mp3,aac,wav,flac,ogg",
    "-codec_whitelist",
    "aac,aac_fixed,aac_latm,mp3,mp3float,mp2,mp2float,mp1,mp1float,opus,libopus,vorbis,libvorbis,"
    "flac,alac,ac3,ac3_fixed,eac3,dca,truehd,mlp,pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,"
    "pcm_s32le,pcm_s32be,pcm_f32le,pcm_f32be,pcm_f64le,pcm_u8,pcm_alaw,pcm_mulaw",
    "-protocol_whitelist",
    "file",
    "-nostdin",
    "-hide_banner",
    "-loglevel",
    "error",
};

Arguments expected(const Arguments& range, const std::string& audio) {
  Arguments all = HEAD;
  all.insert(all.end(), range.begin(), range.end());
  all.insert(all.end(), {"-i", audio, "-vn", "-ac", "1", "-ar", "16000", "-f", "s16le", "pipe:1"});
  return all;
}

TEST(DecoderArguments, WhitelistsHaveTheirDocumentedSizes) {
  EXPECT_EQ(FORMAT_WHITELIST.size(), 73u);
  EXPECT_EQ(CODEC_WHITELIST.size(), 251u);
  EXPECT_EQ(std::ranges::count(FORMAT_WHITELIST, ','), 15);
  EXPECT_EQ(std::ranges::count(CODEC_WHITELIST, ','), 32);
}

TEST(DecoderArguments, WholeFileHasTwentyArguments) {
  const Arguments arguments = decoder_arguments("a.wav", 0.0, std::nullopt);
  EXPECT_EQ(arguments.size(), 20u);
  EXPECT_EQ(arguments, expected({}, "a.wav"));
}

TEST(DecoderArguments, RangeStandsBeforeTheInput) {
  EXPECT_EQ(decoder_arguments("a.wav", 90.0, 150.0),
            expected({"-ss", "90.000", "-t", "60.000"}, "a.wav"));
  EXPECT_EQ(decoder_arguments("a.wav", 90.0, std::nullopt), expected({"-ss", "90.000"}, "a.wav"));
  EXPECT_EQ(decoder_arguments("a.wav", 0.0, 30.0), expected({"-t", "30.000"}, "a.wav"));
}

// ffmpeg takes a zero length as no limit; the empty range is asked for as the shortest length it
// honours (16 samples, which make no piece).
TEST(DecoderArguments, EmptyRangeIsTheShortestLength) {
  EXPECT_EQ(decoder_arguments("a", 10.0, 5.0), expected({"-ss", "10.000", "-t", "0.001"}, "a"));
  EXPECT_EQ(decoder_arguments("a", 10.0, 10.0), expected({"-ss", "10.000", "-t", "0.001"}, "a"));
  // -0.0 - 0.0 is -0.0, which must not be written with a sign.
  EXPECT_EQ(decoder_arguments("a", 0.0, -0.0), expected({"-t", "0.001"}, "a"));
  // A positive length that rounds to zero is empty too.
  EXPECT_EQ(decoder_arguments("a", 1.0, 1.0004), expected({"-ss", "1.000", "-t", "0.001"}, "a"));
  EXPECT_EQ(decoder_arguments("a", 1.0, 1.0006), expected({"-ss", "1.000", "-t", "0.001"}, "a"));
  EXPECT_EQ(decoder_arguments("a", 1.0, 1.002), expected({"-ss", "1.000", "-t", "0.002"}, "a"));
}

TEST(DecoderArguments, NegativeOrNanStartReadsFromTheBeginning) {
  // A negative start still counts in the length: the range read from 0 is longer.
  EXPECT_EQ(decoder_arguments("a", -5.0, 10.0), expected({"-t", "15.000"}, "a"));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(decoder_arguments("a", nan, 10.0), expected({"-t", "0.001"}, "a"));
  EXPECT_EQ(decoder_arguments("a", nan, std::nullopt), expected({}, "a"));
  EXPECT_EQ(decoder_arguments("a", -0.0, std::nullopt), expected({}, "a"));
  EXPECT_EQ(decoder_arguments("a", 0.0, nan), expected({"-t", "0.001"}, "a"));
}

// ffmpeg refuses "inf" and anything above 9223372036854.775 s; the double next to it is written
// 9223372036854.777.
TEST(DecoderArguments, InfiniteOrHugeValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double longest = 9223372036854.775;
  const double too_long = std::nextafter(longest, inf);
  // A length beyond it is the rest of the file.
  for (double end : {inf, 1e300, too_long}) {
    EXPECT_EQ(decoder_arguments("a", 0.0, end), expected({}, "a")) << end;
  }
  EXPECT_EQ(decoder_arguments("a", 2.0, inf), expected({"-ss", "2.000"}, "a"));
  EXPECT_EQ(decoder_arguments("a", -inf, 10.0), expected({}, "a"));
  EXPECT_EQ(decoder_arguments("a", 0.0, longest), expected({"-t", "9223372036854.775"}, "a"));
  EXPECT_EQ(decoder_arguments("a", 1.0, -inf), expected({"-ss", "1.000", "-t", "0.001"}, "a"));
  // A start beyond it is an empty range, whatever the end.
  for (std::optional<double> end : {std::optional<double>(), std::optional(inf)}) {
    EXPECT_EQ(decoder_arguments("a", inf, end), expected({"-t", "0.001"}, "a"));
    EXPECT_EQ(decoder_arguments("a", too_long, end), expected({"-t", "0.001"}, "a"));
  }
  EXPECT_EQ(decoder_arguments("a", longest, std::nullopt),
            expected({"-ss", "9223372036854.775"}, "a"));
}

TEST(DecoderArguments, MediaPathIsOneArgumentUnchanged) {
  const std::string path = "C:\\My Music\\dir with \"quotes\"\\ünïcode 音.m4a";
  const Arguments arguments = decoder_arguments(path, 0.0, std::nullopt);
  EXPECT_EQ(arguments, expected({}, path));
  EXPECT_EQ(decoder_arguments("rel/x.mp3", 0.0, std::nullopt), expected({}, "rel/x.mp3"));
}

TEST(DecoderCommand, RunsTheGivenProgramUnchangedWithoutAWindow) {
  const ToolCommand command = decoder_command("no such dir/ffmpeg", "a b.wav", 1.5, 4.0);
  EXPECT_EQ(command.program, "no such dir/ffmpeg");
  EXPECT_EQ(command.arguments, expected({"-ss", "1.500", "-t", "2.500"}, "a b.wav"));
  EXPECT_EQ(command.working_directory, std::nullopt);  // the directory does not exist
  EXPECT_EQ(command.creation_flags, CREATE_NO_WINDOW_FLAG);
}

TEST(FormatSeconds, FixedWithThreeDecimals) {
  EXPECT_EQ(format_seconds(12.5), "12.500");
  EXPECT_EQ(format_seconds(0.25), "0.250");
  EXPECT_EQ(format_seconds(7200), "7200.000");
  EXPECT_EQ(format_seconds(0.0), "0.000");
  EXPECT_EQ(format_seconds(1e21), "1000000000000000000000.000");
  EXPECT_EQ(format_seconds(std::numeric_limits<double>::max()).size(), 309u + 4u);
  EXPECT_EQ(format_seconds(std::numeric_limits<double>::infinity()), "inf");
}

TEST(FormatSeconds, RoundsTheExactBinaryValue) {
  // Exact ties go to the even digit.
  EXPECT_EQ(format_seconds(1.0625), "1.062");
  EXPECT_EQ(format_seconds(1.1875), "1.188");
  EXPECT_EQ(format_seconds(0.0625), "0.062");
  // Near ties follow the stored value: 1.0005 is 1.000499999..., 2.0005 is 2.000500000...17.
  EXPECT_EQ(format_seconds(1.0005), "1.000");
  EXPECT_EQ(format_seconds(2.0005), "2.001");
  EXPECT_EQ(format_seconds(0.1235), "0.123");
  EXPECT_EQ(format_seconds(12.3456), "12.346");
  EXPECT_EQ(format_seconds(0.0004), "0.000");
}

}  // namespace
}  // namespace tw

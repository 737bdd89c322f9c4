#pragma once
// The ffmpeg command that decodes the media file to raw 16 kHz mono samples on its standard
// output. The whitelists keep ffmpeg to local files of known audio containers and codecs, so a
// crafted input cannot make it open URLs, devices or other files.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/tools/tool_command.h"

namespace tw {

inline constexpr std::string_view FORMAT_WHITELIST =
    "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,mpegts,flv,mp3,aac,wav,flac,ogg";
inline constexpr std::string_view CODEC_WHITELIST =
    "aac,aac_fixed,aac_latm,mp3,mp3float,mp2,mp2float,mp1,mp1float,opus,libopus,vorbis,libvorbis,"
    "flac,alac,ac3,ac3_fixed,eac3,dca,truehd,mlp,pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,"
    "pcm_s32le,pcm_s32be,pcm_f32le,pcm_f32be,pcm_f64le,pcm_u8,pcm_alaw,pcm_mulaw";

// Seconds as ffmpeg reads them: fixed-point with three decimals, rounded to nearest from the
// exact binary value (ties to even), "inf" for positive infinity.
std::string format_seconds(double seconds);

// The argument vector after the program path. "-ss" only for a start after 0; "-t" whenever
// an end is given, with end - start (0 when that is negative or not a number, written as the
// shortest length ffmpeg honours). A length beyond what ffmpeg takes (infinite included) gives
// no "-t"; a start beyond it is an empty range without "-ss".
std::vector<std::string> decoder_arguments(std::string_view audio, double start,
                                           std::optional<double> end);

// The command that runs `ffmpeg` with decoder_arguments. Neither path is looked at.
ToolCommand decoder_command(std::string_view ffmpeg, std::string_view audio, double start,
                            std::optional<double> end);

// The command that makes `ffmpeg` open `audio` under the same whitelists and say its length
// on standard error ("  Duration: 00:01:02.50, ..."), decoding nothing; it exits with a failure,
// having no output to write.
ToolCommand duration_probe_command(std::string_view ffmpeg, std::string_view audio);

// The length in seconds from what the probe said; nothing when it gave none.
std::optional<double> probed_duration(std::string_view said);

}  // namespace tw

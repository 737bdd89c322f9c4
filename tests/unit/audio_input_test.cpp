#include "core/audio/audio_input.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <thread>

#include "core/audio/decoder_command.h"
#include "core/audio/error_output.h"
#include "core/platform/paths.h"
#include "core/platform/process.h"
#include "core/text/white_space.h"
#include "core/tools/child_registry.h"
#include "process_test_support.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  Status status;
  std::vector<Piece> pieces;
};

// Runs the audio thread as the run driver does and takes every piece it sends.
Outcome decode(const std::string& ffmpeg, const std::string& audio, double start = 0.0,
               std::optional<double> end = std::nullopt) {
  auto [sender, receiver] = make_channel<Piece>(2);
  Outcome outcome;
  std::thread audio_thread([&, sender = std::move(sender)]() mutable {
    outcome.status = run_audio_input(start, end, ffmpeg, audio, std::move(sender));
  });
  while (std::optional<Piece> piece = receiver.receive())
    outcome.pieces.push_back(std::move(*piece));
  audio_thread.join();
  return outcome;
}

std::string message(const Outcome& outcome) {
  return outcome.status ? "(success)" : outcome.status.error().chain();
}

// The decoder's registration is released on every path.
void expect_registry_empty() { EXPECT_TRUE(child_registry().pids().empty()); }

std::string unique_name(std::string_view stem) {
  std::random_device random;
  return std::string(stem) + "-" + std::to_string(random()) + std::to_string(random());
}

class TempDir {
 public:
  TempDir() : path_(fs::temp_directory_path() / utf8_path(unique_name("tw-audio"))) {
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string file(std::string_view name) const { return path_utf8(path_ / utf8_path(name)); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::vector<std::uint32_t> read_ids(const std::string& path) {
  std::ifstream file(utf8_path(path));
  std::vector<std::uint32_t> ids;
  for (std::uint32_t id; file >> id;) ids.push_back(id);
  return ids;
}

void expect_all_gone(const std::vector<std::uint32_t>& ids) {
  for (std::uint32_t id : ids) EXPECT_TRUE(test::wait_until_gone(id)) << "process " << id;
}

// --- The stand-in decoder: failures real ffmpeg does not produce on demand ---

std::int16_t standin_sample(std::uint64_t index) {
  return static_cast<std::int16_t>((index * 2654435761u) >> 13);
}

float standin_float(std::uint64_t index) { return standin_sample(index) * 0x1p-15f; }

class AudioInputStandin : public ::testing::Test {
 protected:
  std::string standin = test::standin_path("standin_decoder");
  TempDir dir;
  std::string id_file = dir.file("ids.txt");
};

TEST_F(AudioInputStandin, FailureAfterOutputKeepsTheSentPiecesAndDropsTheRest) {
  const Outcome outcome = decode(standin, "fail-after-output:" + id_file);
  ASSERT_FALSE(outcome.status);
  // The text trimmed of white space, line breaks inside it kept.
  EXPECT_EQ(message(outcome), "ffmpeg failed: first problem\r\nsecond problem \xE2\x9C\x97");
  // 35 s: one piece was cut and sent before the failure; the 5 s or more pending are not sent.
  ASSERT_EQ(outcome.pieces.size(), 1u);
  const Piece& piece = outcome.pieces[0];
  EXPECT_EQ(piece.start, 0.0);
  ASSERT_GE(piece.samples.size(), 320160u);
  for (std::size_t i = 0; i < piece.samples.size(); ++i) {
    ASSERT_EQ(piece.samples[i], standin_float(i)) << "sample " << i;
  }
  expect_all_gone(read_ids(id_file));
  expect_registry_empty();
}

TEST_F(AudioInputStandin, BlankErrorOutputLeavesNothingAfterTheColon) {
  const Outcome outcome = decode(standin, "blank-lines:" + id_file);
  EXPECT_EQ(message(outcome), "ffmpeg failed: ");
  EXPECT_TRUE(outcome.pieces.empty());
  expect_all_gone(read_ids(id_file));
  expect_registry_empty();
}

TEST_F(AudioInputStandin, OddByteCountCarriesAcrossReadsAndDropsTheLastByte) {
  const Outcome outcome = decode(standin, "odd-bytes:" + id_file, 2.0);
  ASSERT_TRUE(outcome.status) << message(outcome);
  ASSERT_EQ(outcome.pieces.size(), 1u);
  const Piece& piece = outcome.pieces[0];
  EXPECT_EQ(piece.start, 2.0);
  ASSERT_EQ(piece.samples.size(), 1700u);
  for (std::size_t i = 0; i < piece.samples.size(); ++i) {
    ASSERT_EQ(piece.samples[i], standin_float(i)) << "sample " << i;
  }
  expect_all_gone(read_ids(id_file));
  expect_registry_empty();
}

TEST_F(AudioInputStandin, DecoderRunsInItsOwnDirectoryWithTheMediaPathMadeAbsolute) {
  const fs::path tools = utf8_path(dir.file("tools dir \xC3\xA9"));
  fs::create_directories(tools);
  const fs::path copy = tools / utf8_path(standin).filename();
  fs::copy_file(utf8_path(standin), copy);
  // "cwd:" names a relative file, which the decoder creates in its own working directory.
  const Outcome outcome = decode(path_utf8(copy), "cwd:where.txt");
  ASSERT_TRUE(outcome.status) << message(outcome);
  EXPECT_TRUE(outcome.pieces.empty());
  std::ifstream file(tools / "where.txt");
  std::string id;
  std::string directory;
  std::string media;
  ASSERT_TRUE(std::getline(file, id));
  ASSERT_TRUE(std::getline(file, directory));
  EXPECT_TRUE(fs::equivalent(utf8_path(directory), tools)) << directory;
  // The relative media path names a file beside the worker, not beside the decoder.
  ASSERT_TRUE(std::getline(file, media));
  EXPECT_EQ(media, path_utf8(fs::current_path() / "cwd:where.txt"));
}

TEST_F(AudioInputStandin, FloodedErrorOutputIsBounded) {
  const Outcome outcome = decode(standin, "flood:" + id_file);
  ASSERT_FALSE(outcome.status);
  const std::string text = message(outcome);
  EXPECT_TRUE(text.starts_with("ffmpeg failed: head\nflood line 100000\n")) << text.substr(0, 80);
  EXPECT_TRUE(text.ends_with("flood line 101023\ntail")) << text.substr(text.size() - 80);
  EXPECT_NE(text.find(" bytes left out ...]\n"), std::string::npos);
  // 8 MiB were written; the message holds the two kept parts and the marker line.
  EXPECT_LE(text.size(), ERROR_OUTPUT_HEAD_BYTES + ERROR_OUTPUT_TAIL_BYTES + 100);
  expect_all_gone(read_ids(id_file));
  expect_registry_empty();
}

TEST_F(AudioInputStandin, ReleasedReceiverStopsTheDecoder) {
  auto [sender, receiver] = make_channel<Piece>(1);
  Status status;
  std::thread audio_thread([&, sender = std::move(sender)]() mutable {
    status = run_audio_input(0.0, std::nullopt, standin, "endless:" + id_file, std::move(sender));
  });
  // Take one piece, then give up while the audio thread is sending or about to send.
  const std::optional<Piece> first = receiver.receive();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->samples.size(), 320160u);  // silence: the first window wins
  receiver.release();
  audio_thread.join();
  ASSERT_FALSE(status);
  EXPECT_EQ(status.error().chain(), "transcription stopped");
  expect_all_gone(read_ids(id_file));
  expect_registry_empty();
}

TEST_F(AudioInputStandin, StoppingEndsTheWholeTreeIncludingAGrandchild) {
  auto [sender, receiver] = make_channel<Piece>(1);
  receiver.release();  // the first send fails
  // The grandchild holds both pipes: the error-output reader only finishes once it is gone.
  const Status status =
      run_audio_input(0.0, std::nullopt, standin, "endless-tree:" + id_file, std::move(sender));
  ASSERT_FALSE(status);
  EXPECT_EQ(status.error().chain(), "transcription stopped");
  const std::vector<std::uint32_t> ids = read_ids(id_file);
  EXPECT_EQ(ids.size(), 2u) << "the decoder and its grandchild";
  expect_all_gone(ids);
  expect_registry_empty();
}

TEST_F(AudioInputStandin, DecoderThatExitsLeavingAGrandchildOnItsPipesEndsAfterTheGrace) {
  // The grandchild would hold both pipes for minutes: once the decoder has exited, its tree is
  // ended and what it wrote is the whole output.
  const Outcome outcome = decode(standin, "exit-leaving-tree:" + id_file);
  ASSERT_TRUE(outcome.status) << message(outcome);
  ASSERT_EQ(outcome.pieces.size(), 1u);
  ASSERT_EQ(outcome.pieces[0].samples.size(), 16000u);
  for (std::size_t i = 0; i < 16000; ++i) {
    ASSERT_EQ(outcome.pieces[0].samples[i], standin_float(i)) << "sample " << i;
  }
  const std::vector<std::uint32_t> ids = read_ids(id_file);
  EXPECT_EQ(ids.size(), 2u) << "the decoder and its grandchild";
  expect_all_gone(ids);
  expect_registry_empty();
}

// In a process of its own (the stop mark never goes back): 0 when a decoder started after the
// stop was ended at once and nothing was sent; otherwise what went wrong, on standard error.
int decode_after_stop(const std::string& standin, const std::string& id_file) {
  stop_all_children();
  Channel<Piece> queue = make_channel<Piece>(4);
  const Status status =
      run_audio_input(0.0, std::nullopt, standin, "endless:" + id_file, std::move(queue.sender));
  int result = 0;
  // Killed, so it did not exit with 0: the normal end-of-output path judges it a failure.
  if (status || !status.error().chain().starts_with("ffmpeg failed: ")) {
    std::cerr << "result: " << (status ? "success" : status.error().chain()) << "\n";
    result = 1;
  }
  if (queue.receiver.try_receive().has_value()) {
    std::cerr << "a piece was sent\n";
    result = 1;
  }
  // It may have been ended before it could write its id.
  for (std::uint32_t id : read_ids(id_file)) {
    if (!test::wait_until_gone(id)) {
      std::cerr << "process " << id << " is still running\n";
      result = 1;
    }
  }
  std::error_code ignored;  // std::exit skips the fixture's clean-up
  fs::remove_all(utf8_path(id_file).parent_path(), ignored);
  return result;
}

TEST_F(AudioInputStandin, DecoderStartedDuringAStopIsEndedAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(decode_after_stop(standin, id_file)), ::testing::ExitedWithCode(0), "");
}

TEST(AudioInput, MissingDecoderFailsToStart) {
  TempDir dir;
  const Outcome outcome = decode(dir.file("no-such-ffmpeg"), "a.wav");
  ASSERT_FALSE(outcome.status);
  EXPECT_EQ(outcome.status.error().message(), "start ffmpeg");
  ASSERT_NE(outcome.status.error().cause(), nullptr);
  EXPECT_TRUE(outcome.status.error().cause()->message().ends_with(")")) << message(outcome);
  EXPECT_TRUE(outcome.pieces.empty());
  expect_registry_empty();
}

// --- Real ffmpeg on media it has made itself ---

// Runs the test's ffmpeg with `arguments`; the error output when it fails.
std::optional<std::string> run_ffmpeg(const std::string& ffmpeg,
                                      std::vector<std::string> arguments) {
  ToolCommand command = tool_command(ffmpeg);
  command.arguments = std::move(arguments);
  Result<ChildProcess> child =
      start_process(command, Stdio::null_device, Stdio::null_device, Stdio::pipe);
  if (!child) return child.error().chain();
  PipeReader errors = child->take_error_output();
  const std::string text = test::read_all(errors);
  Result<int> code = child->wait();
  if (!code) return code.error().chain();
  if (*code != 0) return "exit code " + std::to_string(*code) + ": " + text;
  return std::nullopt;
}

// The samples as a separate ffmpeg run with the same arguments decodes them, read plainly.
std::vector<float> reference_samples(const std::string& ffmpeg, const std::string& audio,
                                     double start, std::optional<double> end) {
  ToolCommand command = tool_command(ffmpeg);
  command.arguments = decoder_arguments(audio, start, end);
  // Quiet (-loglevel error) when it succeeds, so its error output can go to the null device.
  Result<ChildProcess> child =
      start_process(command, Stdio::null_device, Stdio::pipe, Stdio::null_device);
  if (!child) {
    ADD_FAILURE() << "reference decode: " << child.error().chain();
    return {};
  }
  PipeReader output = child->take_output();
  const std::string bytes = test::read_all(output);
  Result<int> code = child->wait();
  EXPECT_TRUE(code && *code == 0) << "reference decode failed";
  std::vector<float> samples;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const int low = static_cast<unsigned char>(bytes[i]);
    const int high = static_cast<signed char>(bytes[i + 1]);
    samples.push_back(static_cast<float>(high * 256 + low) / 32768.0f);
  }
  return samples;
}

struct ExpectedPiece {
  std::size_t first;  // index into the reference samples
  std::size_t size;
  double start;
};

// The cutting rule written out plainly over the whole stream at once.
std::vector<ExpectedPiece> reference_cuts(const std::vector<float>& samples, double start) {
  std::vector<ExpectedPiece> pieces;
  const double first_index = start * 16000.0 > 0.0 ? std::round(start * 16000.0) : 0.0;
  std::size_t at = 0;
  while (samples.size() - at >= 480000) {
    float best = FLT_MAX;
    std::size_t best_k = 0;
    for (std::size_t k = 0; k < 500; ++k) {
      float energy = -0.0f;
      for (std::size_t i = 0; i < 320; ++i) {
        const float s = samples[at + 320000 + 320 * k + i];
        energy += s * s;
      }
      if (energy < best) best = energy, best_k = k;
    }
    const std::size_t cut = 320000 + 320 * best_k + 160;
    pieces.push_back({at, cut, (first_index + static_cast<double>(at)) / 16000.0});
    at += cut;
  }
  if (samples.size() - at >= 1600) {
    pieces.push_back({at, samples.size() - at, (first_index + static_cast<double>(at)) / 16000.0});
  }
  return pieces;
}

// Makes the test media in `dir` with `ffmpeg`; what went wrong, if anything.
std::optional<std::string> make_media(const std::string& ffmpeg, const fs::path& dir) {
  const auto file = [&](std::string_view name) { return path_utf8(dir / utf8_path(name)); };
  // 52 s of a tone whose loudness wanders, with a short dip every 6.1 s; the right channel
  // differs from the left so that down-mixing matters. The lossless stereo file is the source
  // of all the others.
  const std::string tone =
      "aevalsrc=exprs="
      "'0.4*sin(2*PI*330*t)*(0.35+0.65*abs(sin(2*PI*0.23*t)))*(1-0.97*between(mod(t,6.1),2,2.25))"
      "|0.3*sin(2*PI*523*t)*(1-0.9*between(mod(t,4.3),1,1.1))'"
      ":s=44100:d=52";
  const std::string source = file("stereo.flac");
  const std::vector<std::vector<std::string>> jobs = {
      {"-f", "lavfi", "-i", tone, "-c:a", "flac", source},
      {"-i", source, "-ac", "1", "-ar", "16000", "-c:a", "pcm_s16le", file("mono16k.wav")},
      {"-i", source, "-c:a", "libmp3lame", "-b:a", "96k", file("stereo.mp3")},
      {"-i", source, "-ac", "1", "-c:a", "libopus", "-b:a", "32k", file("mono.ogg")},
      {"-i", source, "-ar", "22050", "-c:a", "aac", "-b:a", "64k", file("aac.m4a")},
      {"-i", source, "-ar", "32000", "-ac", "1", "-c:a", "libvorbis", file("vorbis.mkv")},
      {"-i", source, "-c:a", "libopus", file("opus.webm")},
      {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=5:duration=52", "-i", source, "-c:v", "mpeg4",
       "-c:a", "aac", "-shortest", file("video.mp4")},
      {"-i", source, "-t", "5", file("refused-format.aiff")},
      {"-i", source, "-t", "5", "-c:a", "adpcm_ms", file("refused-codec.wav")},
  };
  for (const auto& job : jobs) {
    std::vector<std::string> arguments = {"-y", "-nostdin", "-hide_banner", "-loglevel", "error"};
    arguments.insert(arguments.end(), job.begin(), job.end());
    if (auto failure = run_ffmpeg(ffmpeg, arguments))
      return "making " + job.back() + ": " + *failure;
  }
  return std::nullopt;
}

// The media are made once per build in TW_TEST_DATA (every test runs in a process of its own
// under ctest, and ffmpeg.exe is slow to start under wine), or per run in a temporary
// directory without it. Bump the number when make_media changes.
constexpr std::string_view SHARED_MEDIA = "audio-input-media-1";
constexpr std::string_view COMPLETE_MARK = "complete";

class AudioInputFfmpeg : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* ffmpeg_env = std::getenv("TW_FFMPEG");
    if (ffmpeg_env == nullptr) return;
    ffmpeg_ = new std::string(ffmpeg_env);
    const char* data = std::getenv("TW_TEST_DATA");
    if (data == nullptr) {
      own_media_ = new TempDir();
      media_dir_ = new fs::path(own_media_->path());
      if (auto failure = make_media(*ffmpeg_, *media_dir_))
        setup_failure_ = new std::string(*failure);
      return;
    }
    media_dir_ = new fs::path(utf8_path(data) / utf8_path(SHARED_MEDIA));
    if (is_existing_file(*media_dir_ / utf8_path(COMPLETE_MARK))) return;
    // Made aside and renamed into place, so that a test never sees half of it; when another
    // test process got there first, the rename fails and this copy is dropped.
    const fs::path building = utf8_path(data) / utf8_path(unique_name("audio-input-media.tmp"));
    std::error_code error;
    fs::create_directories(building, error);
    if (auto failure = make_media(*ffmpeg_, building)) {
      setup_failure_ = new std::string(*failure);
    } else {
      std::ofstream(building / utf8_path(COMPLETE_MARK)) << "made by audio_input_test\n";
      fs::rename(building, *media_dir_, error);
    }
    fs::remove_all(building, error);
  }

  static void TearDownTestSuite() {
    delete own_media_;
    delete media_dir_;
    delete ffmpeg_;
    delete setup_failure_;
    own_media_ = nullptr;
    media_dir_ = nullptr;
    ffmpeg_ = nullptr;
    setup_failure_ = nullptr;
  }

  static std::string media(std::string_view name) {
    return path_utf8(*media_dir_ / utf8_path(name));
  }

  void SetUp() override {
    if (ffmpeg_ == nullptr) GTEST_SKIP() << "TW_FFMPEG is not set";
    ASSERT_EQ(setup_failure_, nullptr) << *setup_failure_;
  }

  // Decodes `name` through the audio thread and checks every piece against a separate decode
  // cut by the reference rule.
  void expect_reference_pieces(const std::string& name, double start = 0.0,
                               std::optional<double> end = std::nullopt,
                               std::size_t least_pieces = 0) {
    SCOPED_TRACE(name);
    const std::string audio = media(name);
    const Outcome outcome = decode(*ffmpeg_, audio, start, end);
    ASSERT_TRUE(outcome.status) << message(outcome);
    const std::vector<float> reference = reference_samples(*ffmpeg_, audio, start, end);
    const std::vector<ExpectedPiece> expected = reference_cuts(reference, start);
    EXPECT_GE(expected.size(), least_pieces);
    ASSERT_EQ(outcome.pieces.size(), expected.size());
    for (std::size_t p = 0; p < expected.size(); ++p) {
      const Piece& piece = outcome.pieces[p];
      EXPECT_EQ(piece.start, expected[p].start) << "piece " << p;
      ASSERT_EQ(piece.samples.size(), expected[p].size) << "piece " << p;
      EXPECT_TRUE(std::equal(piece.samples.begin(), piece.samples.end(),
                             reference.begin() + static_cast<std::ptrdiff_t>(expected[p].first)))
          << "piece " << p;
    }
    expect_registry_empty();
  }

  // `reason` is part of ffmpeg's own message, when it is known.
  void expect_refused(const std::string& audio, std::string_view reason_part = "") {
    SCOPED_TRACE(audio);
    const Outcome outcome = decode(*ffmpeg_, audio);
    ASSERT_FALSE(outcome.status);
    const std::string text = message(outcome);
    ASSERT_TRUE(text.starts_with("ffmpeg failed: ")) << text;
    const std::string reason = text.substr(15);
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(reason.find(reason_part), std::string::npos) << reason;
    EXPECT_EQ(trim_unicode_white_space(reason), reason);
    EXPECT_TRUE(outcome.pieces.empty());
    expect_registry_empty();
  }

  static std::string* ffmpeg_;
  static TempDir* own_media_;
  static fs::path* media_dir_;
  static std::string* setup_failure_;
};

std::string* AudioInputFfmpeg::ffmpeg_ = nullptr;
TempDir* AudioInputFfmpeg::own_media_ = nullptr;
fs::path* AudioInputFfmpeg::media_dir_ = nullptr;
std::string* AudioInputFfmpeg::setup_failure_ = nullptr;

TEST_F(AudioInputFfmpeg, WavAtTheWorkingRateIsPassedThrough) {
  expect_reference_pieces("mono16k.wav", 0.0, std::nullopt, 2);
}

TEST_F(AudioInputFfmpeg, LosslessAndLossyContainers) {
  for (const char* name : {"stereo.flac", "stereo.mp3", "mono.ogg", "aac.m4a", "vorbis.mkv",
                           "opus.webm", "video.mp4"}) {
    expect_reference_pieces(name, 0.0, std::nullopt, 2);
  }
}

TEST_F(AudioInputFfmpeg, TimeRangeShiftsEveryStart) {
  // 12.3456 s is sample 197529.6, rounded to 197530: the first piece starts at 12.345625.
  expect_reference_pieces("stereo.flac", 12.3456, 47.0, 2);
  const Outcome outcome = decode(*ffmpeg_, media("stereo.flac"), 12.3456, 47.0);
  ASSERT_FALSE(outcome.pieces.empty());
  EXPECT_EQ(outcome.pieces[0].start, 12.345625);
}

TEST_F(AudioInputFfmpeg, NothingDecodedIsSuccessWithoutPieces) {
  // Past the end of the file, and a range shorter than 0.1 s.
  for (auto [start, end] :
       {std::pair<double, std::optional<double>>{100.0, std::nullopt}, {3.0, 3.05}}) {
    const Outcome outcome = decode(*ffmpeg_, media("mono16k.wav"), start, end);
    EXPECT_TRUE(outcome.status) << message(outcome);
    EXPECT_TRUE(outcome.pieces.empty());
  }
}

TEST_F(AudioInputFfmpeg, FormatsCodecsAndProtocolsOutsideTheWhitelistsAreRefused) {
  expect_refused(media("refused-format.aiff"), "not on whitelist");
  expect_refused(media("refused-codec.wav"), "not on whitelist");
  // A media path is always a file: a relative one is made absolute, so these name (missing or,
  // on Windows, invalid) files beside the worker rather than protocols.
  expect_refused("pipe:0", path_utf8(fs::current_path() / "pipe:0"));
  expect_refused("concat:" + media("mono16k.wav") + "|" + media("mono16k.wav"),
                 path_utf8(fs::current_path() / "concat:"));
  expect_refused(media("missing.wav"));
}

}  // namespace
}  // namespace tw

// Decoding speed through the worker's decode stage with the real speech library, one inference
// thread, single-thread mode: the generated tone models on a tone-encoded medium.
//
//   TW_TEST_DATA=build/linux/test-data build/linux/bench/decode_bench
//
// "rtf" is the real-time factor: seconds of decoding per second of audio.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "core/asr/decode_pieces.h"
#include "core/asr/recognizer.h"
#include "core/platform/paths.h"

namespace tw {
namespace {

constexpr std::size_t PIECE_SAMPLES = 30 * SAMPLE_RATE;

std::filesystem::path test_data() {
  const char* data = std::getenv("TW_TEST_DATA");
  return utf8_path(data != nullptr ? data : "build/linux/test-data");
}

// The samples of a 16-bit mono WAV file with a plain 44-byte header, times 2^-15.
std::vector<float> wav_samples(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::vector<float> samples;
  for (std::size_t i = 44; i + 1 < bytes.size(); i += 2) {
    const auto low = static_cast<std::uint8_t>(bytes[i]);
    const auto high = static_cast<std::uint8_t>(bytes[i + 1]);
    samples.push_back(static_cast<float>(static_cast<std::int16_t>(low | (high << 8))) / 32768.0f);
  }
  return samples;
}

void decode_medium(benchmark::State& state, const char* model) {
  const std::vector<float> samples = wav_samples(test_data() / "media" / "speech-180s.wav");
  Result<Recognizer> recognizer =
      create_recognizer(path_utf8(test_data() / "models" / model), false, DecodePlan{});
  if (!recognizer || samples.empty()) {
    state.SkipWithError("no test data: set TW_TEST_DATA");
    return;
  }
  std::size_t words = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto [sender, pieces] = make_channel<Piece>(samples.size() / PIECE_SAMPLES + 1);
    for (std::size_t first = 0; first + PIECE_SAMPLES <= samples.size(); first += PIECE_SAMPLES) {
      sender.send(Piece{{samples.begin() + first, samples.begin() + first + PIECE_SAMPLES},
                        static_cast<double>(first) / SAMPLE_RATE});
    }
    sender.release();
    state.ResumeTiming();
    Status status = decode_pieces(*recognizer, pieces, [&](double, std::vector<Word> found) {
      words += found.size();
      return Status{};
    });
    if (!status) state.SkipWithError("decoding failed");
  }
  const double audio_seconds =
      static_cast<double>(samples.size() / PIECE_SAMPLES * PIECE_SAMPLES) / SAMPLE_RATE;
  state.counters["rtf"] =
      benchmark::Counter(audio_seconds * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["words"] = static_cast<double>(words) / static_cast<double>(state.iterations());
}

BENCHMARK_CAPTURE(decode_medium, tone, "tone")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode_medium, tone_heavy, "tone-heavy")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tw

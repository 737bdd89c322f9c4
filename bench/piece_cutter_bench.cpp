// Cost of cutting: one pass of squared sums over 160000 samples per piece, plus the copies.
// "realtime" is seconds of audio cut per second of processor time.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/audio/pcm_converter.h"
#include "core/audio/piece_cutter.h"

namespace tw {
namespace {

std::vector<float> speech_like(std::size_t count) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> pcm(-32768, 32767);
  std::vector<float> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    const double envelope = 0.5 + 0.5 * std::sin(static_cast<double>(i) * 0.0007);
    samples[i] = static_cast<float>(pcm(random) * envelope) * 0x1p-15f;
  }
  return samples;
}

// Ten minutes of audio pushed in reads of 32768 samples, as the audio thread does.
void BM_CutTenMinutes(benchmark::State& state) {
  constexpr std::size_t READ_SAMPLES = READ_CHUNK / 2;
  const std::vector<float> audio = speech_like(600 * 16000);
  std::size_t pieces = 0;
  for (auto _ : state) {
    PieceCutter cutter(0.0);
    for (std::size_t at = 0; at < audio.size(); at += READ_SAMPLES) {
      const std::size_t count = std::min(READ_SAMPLES, audio.size() - at);
      auto cut = cutter.push(std::span(audio).subspan(at, count));
      pieces += cut.size();
      benchmark::DoNotOptimize(cut.data());
    }
    auto last = cutter.finish();
    benchmark::DoNotOptimize(last);
  }
  const double audio_seconds = static_cast<double>(audio.size()) / 16000.0;
  state.counters["realtime"] = benchmark::Counter(
      audio_seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  // Processor time per piece, in seconds.
  state.counters["per_piece"] = benchmark::Counter(
      static_cast<double>(pieces), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CutTenMinutes)->Unit(benchmark::kMillisecond);

// The search alone: one cut of a full 30 s pending buffer.
void BM_OneCut(benchmark::State& state) {
  const std::vector<float> audio = speech_like(480000);
  for (auto _ : state) {
    PieceCutter cutter(0.0);
    auto cut = cutter.push(audio);
    benchmark::DoNotOptimize(cut.data());
  }
  state.counters["realtime"] = benchmark::Counter(30.0 * static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OneCut)->Unit(benchmark::kMicrosecond);

// Conversion of full reads, for comparison with the cutting.
void BM_ConvertReads(benchmark::State& state) {
  std::vector<std::byte> chunk(READ_CHUNK);
  std::mt19937 random(7);
  for (auto& b : chunk) b = static_cast<std::byte>(random());
  PcmConverter converter;
  for (auto _ : state) {
    auto samples = converter.convert(chunk);
    benchmark::DoNotOptimize(samples.data());
  }
  state.counters["realtime"] = benchmark::Counter(
      static_cast<double>(READ_CHUNK / 2) / 16000.0 * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ConvertReads);

}  // namespace
}  // namespace tw

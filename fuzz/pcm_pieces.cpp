// The decoder's output on its way to pieces: 16-bit PCM converted to samples and cut into
// pieces. However the bytes arrive (one byte at a time, in odd-sized reads, megabytes at once),
// the pieces are those of the worker's full reads; they hold every sample in order, every piece
// but the last ends at a cut the cutter may choose, and each starts where the one before ends.
//
// Input, little-endian:
//   bytes 0-7    the start time in seconds, a double (any bits: negative, huge, not a number)
//   bytes 8-10   the length of the output in bytes, its low 21 bits (up to 65 s of samples: two
//                cuts)
//   byte 11      how many read sizes follow, less one (taken modulo 16)
//   then         the read sizes, 16 bits each: the low 12 bits shifted left by the top 4, so
//                that reads of 0 bytes, single bytes and several megabytes all occur; they are
//                used in turn until the output is used up
//   the rest     a pattern repeated to the length of the output (zeros when empty)

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <span>

#include "core/audio/pcm_converter.h"
#include "core/audio/piece_cutter.h"
#include "fuzz_check.h"

namespace {

using tw::fuzz::expect;

constexpr std::size_t HEADER_BYTES = 12;
constexpr std::size_t OUTPUT_LENGTH_MASK = (1 << 21) - 1;

struct Recipe {
  double start = 0.0;
  std::vector<std::byte> output;
  std::vector<std::size_t> read_sizes;
};

std::optional<Recipe> read_recipe(std::span<const std::uint8_t> input) {
  if (input.size() < HEADER_BYTES) return std::nullopt;
  Recipe recipe;
  std::memcpy(&recipe.start, input.data(), sizeof recipe.start);
  const std::size_t length = (input[8] | input[9] << 8 | input[10] << 16) & OUTPUT_LENGTH_MASK;
  const std::size_t read_count = input[11] % 16 + 1;
  input = input.subspan(HEADER_BYTES);
  for (std::size_t i = 0; i < read_count && input.size() >= 2; ++i, input = input.subspan(2)) {
    const unsigned bits = input[0] | input[1] << 8;
    recipe.read_sizes.push_back(static_cast<std::size_t>(bits & 0x0FFF) << (bits >> 12));
  }
  if (std::ranges::count(recipe.read_sizes, 0) == std::ssize(recipe.read_sizes)) {
    recipe.read_sizes.push_back(length);  // reads of nothing alone would never end
  }
  recipe.output.resize(length);
  for (std::size_t done = 0; done < length && !input.empty(); done += input.size()) {
    std::memcpy(recipe.output.data() + done, input.data(), std::min(input.size(), length - done));
  }
  return recipe;
}

struct Outcome {
  std::vector<tw::Piece> pieces;  // the last one from finish(), when it gave one
  bool carried_byte = false;
};

// Feeds the output in reads of the given sizes, as the audio thread does.
Outcome cut(const Recipe& recipe, std::span<const std::size_t> read_sizes) {
  tw::PcmConverter converter;
  tw::PieceCutter cutter(recipe.start);
  Outcome outcome;
  std::span<const std::byte> rest = recipe.output;
  for (std::size_t turn = 0; !rest.empty(); ++turn) {
    const std::size_t count = std::min(read_sizes[turn % read_sizes.size()], rest.size());
    for (tw::Piece& piece : cutter.push(converter.convert(rest.first(count)))) {
      outcome.pieces.push_back(std::move(piece));
    }
    rest = rest.subspan(count);
  }
  if (std::optional<tw::Piece> last = cutter.finish()) outcome.pieces.push_back(std::move(*last));
  outcome.carried_byte = converter.has_carried_byte();
  return outcome;
}

bool same_pieces(const std::vector<tw::Piece>& a, const std::vector<tw::Piece>& b) {
  return std::ranges::equal(a, b, [](const tw::Piece& x, const tw::Piece& y) {
    return x.samples.size() == y.samples.size() && std::memcmp(&x.start, &y.start, 8) == 0 &&
           std::memcmp(x.samples.data(), y.samples.data(), x.samples.size() * 4) == 0;
  });
}

bool is_cut_length(std::size_t samples) {
  return samples >= tw::MIN_PIECE_SAMPLES + tw::CUT_WINDOW / 2 && samples < tw::MAX_PIECE_SAMPLES &&
         (samples - tw::CUT_WINDOW / 2) % tw::CUT_WINDOW == 0;
}

float pcm_sample(const Recipe& recipe, std::size_t index) {
  const unsigned bits = std::to_integer<unsigned>(recipe.output[2 * index]) |
                        std::to_integer<unsigned>(recipe.output[2 * index + 1]) << 8;
  return static_cast<std::int16_t>(bits) * 0x1p-15f;
}

// The pieces hold the output's samples in order, each little-endian pair times 2^-15; only a
// tail shorter than MIN_TAIL_SAMPLES and an odd last byte are left out.
void check_samples(const Recipe& recipe, const Outcome& outcome) {
  const std::size_t sample_count = recipe.output.size() / 2;
  std::size_t index = 0;
  for (std::size_t p = 0; p < outcome.pieces.size(); ++p) {
    const std::vector<float>& samples = outcome.pieces[p].samples;
    expect(index + samples.size() <= sample_count, "a piece beyond the output");
    const bool last = p + 1 == outcome.pieces.size();
    expect(is_cut_length(samples.size()) || (last && samples.size() >= tw::MIN_TAIL_SAMPLES &&
                                             samples.size() < tw::MAX_PIECE_SAMPLES),
           "a piece of a length the cutter cannot make");
    for (float sample : samples) {
      expect(sample == pcm_sample(recipe, index++), "a sample converted wrongly or out of order");
    }
  }
  expect(sample_count - index < tw::MIN_TAIL_SAMPLES, "samples left out");
  expect(outcome.carried_byte == (recipe.output.size() % 2 == 1), "the odd byte lost or kept");
  // Each piece starts where the one before it ends, the first at --start: at the sample index
  // of --start plus the samples before it, over 16000 (saturating at the last index). Adding
  // the seconds of each piece instead would round differently (by an ulp) a quarter of the time.
  std::uint64_t start_index = tw::sample_index_of(recipe.start);
  for (std::size_t p = 0; p < outcome.pieces.size(); ++p) {
    const tw::Piece& piece = outcome.pieces[p];
    expect(piece.start == static_cast<double>(start_index) / tw::SAMPLE_RATE,
           p == 0 ? "the first piece does not start at --start"
                  : "a piece does not start where the one before it ends");
    const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - start_index;
    start_index += std::min<std::uint64_t>(piece.samples.size(), room);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<Recipe> recipe = read_recipe({data, size});
  if (!recipe) return 0;
  const std::size_t full_reads[] = {tw::READ_CHUNK};
  const Outcome as_read_by_worker = cut(*recipe, full_reads);
  check_samples(*recipe, as_read_by_worker);
  const Outcome in_other_reads = cut(*recipe, recipe->read_sizes);
  expect(same_pieces(in_other_reads.pieces, as_read_by_worker.pieces),
         "the reads changed the pieces");
  return 0;
}

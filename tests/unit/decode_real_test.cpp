// The decode stage with the real speech library and the generated tone model, whose words and
// times are known exactly in advance.
#include <gtest/gtest.h>

#include "core/asr/decode_pieces.h"
#include "core/asr/recognizer.h"
#include "test_data.h"

namespace tw {
namespace {

using testing::model_dir;
using testing::read_expected;
using testing::read_wav_samples;
using testing::test_data;

struct Decoded {
  std::vector<double> ends;
  std::vector<Word> words;
};

// Cuts a medium into the pieces its expected result lists, queues them all and decodes them.
Decoded decode_medium(const std::string& model, const std::string& medium, DecodePlan plan) {
  const std::vector<float> samples = read_wav_samples(*test_data() / "media" / (medium + ".wav"));
  const nlohmann::json expected = read_expected(medium);
  auto [sender, pieces] = make_channel<Piece>(64);
  for (const auto& piece : expected["pieces"]) {
    const std::size_t first = piece["start_sample"];
    const std::size_t count = piece["samples"];
    sender.send(Piece{std::vector<float>(samples.begin() + first, samples.begin() + first + count),
                      piece["start"].get<double>()});
  }
  sender.release();

  Decoded decoded;
  Result<Recognizer> recognizer = create_recognizer(model_dir(model), false, plan);
  EXPECT_TRUE(recognizer);
  if (!recognizer) return decoded;
  Status status = decode_pieces(*recognizer, pieces, [&](double end, std::vector<Word> words) {
    decoded.ends.push_back(end);
    decoded.words.insert(decoded.words.end(), words.begin(), words.end());
    return Status{};
  });
  EXPECT_TRUE(status);
  return decoded;
}

// The expected ends are those of the TDT model, whose tokens carry durations; a plain model's
// tokens end where the next one starts.
void expect_words_of(const std::string& medium, const Decoded& decoded, bool tdt = true) {
  const nlohmann::json expected = read_expected(medium);
  ASSERT_EQ(decoded.words.size(), expected["words"].size());
  for (std::size_t i = 0; i < decoded.words.size(); ++i) {
    const auto& word = expected["words"][i];
    EXPECT_EQ(decoded.words[i].text, word["text"].get<std::string>()) << i;
    EXPECT_EQ(decoded.words[i].start, word["start"].get<double>()) << i;
    if (tdt) {
      EXPECT_EQ(decoded.words[i].end, word["end"].get<double>()) << i;
    }
  }
}

std::vector<double> piece_ends(const std::string& medium) {
  const nlohmann::json expected = read_expected(medium);
  std::vector<double> ends;
  for (const auto& piece : expected["pieces"]) ends.push_back(piece["end"]);
  return ends;
}

class DecodeToneModel : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test_data()) GTEST_SKIP() << "TW_TEST_DATA is not set";
  }
};

TEST_F(DecodeToneModel, OnePieceAtATime) {
  for (const char* model : {"tone", "tone-plain"}) {
    SCOPED_TRACE(model);
    const Decoded decoded =
        decode_medium(model, "speech-180s", {.workers = 1, .num_threads = 1, .batch = 1});
    expect_words_of("speech-180s", decoded, std::string(model) == "tone");
    EXPECT_EQ(decoded.ends, piece_ends("speech-180s"));
  }
}

TEST_F(DecodeToneModel, BatchesInOneCall) {
  // All pieces are queued before decoding starts, so each call takes a full batch.
  const Decoded decoded =
      decode_medium("tone", "speech-180s", {.workers = 1, .num_threads = 1, .batch = 3});
  expect_words_of("speech-180s", decoded);
  const std::vector<double> ends = piece_ends("speech-180s");
  std::vector<double> batch_ends;
  for (std::size_t last = 2; last < ends.size() + 2; last += 3) {
    batch_ends.push_back(ends[std::min(last, ends.size() - 1)]);
  }
  EXPECT_EQ(decoded.ends, batch_ends);
}

TEST_F(DecodeToneModel, SeveralDecodeThreadsShareOneRecognizer) {
  const Decoded decoded =
      decode_medium("tone", "speech-180s", {.workers = 3, .num_threads = 1, .batch = 1});
  expect_words_of("speech-180s", decoded);
  EXPECT_EQ(decoded.ends, piece_ends("speech-180s"));
}

TEST_F(DecodeToneModel, ShortMediaAndSilence) {
  for (std::uint64_t workers : {1, 2}) {
    const Decoded hello =
        decode_medium("tone", "hello-world", {.workers = workers, .num_threads = 1, .batch = 1});
    expect_words_of("hello-world", hello);
    const Decoded silence =
        decode_medium("tone", "silence-3s", {.workers = workers, .num_threads = 1, .batch = 1});
    EXPECT_TRUE(silence.words.empty());
    EXPECT_EQ(silence.ends, (std::vector<double>{3.0}));
  }
}

}  // namespace
}  // namespace tw

#include "core/asr/model_check.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/platform/paths.h"

namespace tw {
namespace {

using Dims = std::vector<std::optional<std::int64_t>>;

OnnxModelSummary encoder_with(std::map<std::string, std::string> metadata,
                              std::optional<Dims> input = Dims{std::nullopt, 80, std::nullopt}) {
  OnnxModelSummary encoder;
  encoder.metadata = std::move(metadata);
  encoder.first_input_dims = std::move(input);
  return encoder;
}

std::map<std::string, std::string> nemo_metadata() {
  return {{"vocab_size", "54"},
          {"subsampling_factor", "8"},
          {"pred_rnn_layers", "1"},
          {"pred_hidden", "640"}};
}

TEST(CheckEncoderMetadata, GivesTheVocabularyWithTheBlank) {
  auto vocab = check_encoder_metadata(encoder_with(nemo_metadata()));
  ASSERT_TRUE(vocab);
  EXPECT_EQ(*vocab, 55);
}

TEST(CheckEncoderMetadata, ReadsIntegersAsTheLibraryDoes) {
  // atoi: leading white space and a plus sign are fine, and so is anything after the digits.
  for (const char* value : {" 8", "+8", "8x", "0", "2147483647"}) {
    auto metadata = nemo_metadata();
    metadata["subsampling_factor"] = value;
    EXPECT_TRUE(check_encoder_metadata(encoder_with(metadata))) << value;
  }
}

TEST(CheckEncoderMetadata, RefusesWhatTheLibraryDiesOf) {
  for (const char* key : {"vocab_size", "subsampling_factor", "pred_rnn_layers", "pred_hidden"}) {
    auto metadata = nemo_metadata();
    metadata.erase(key);
    auto missing = check_encoder_metadata(encoder_with(metadata));
    ASSERT_FALSE(missing) << key;
    EXPECT_EQ(missing.error().message(), std::string("no ") + key + " in the metadata");
    // An empty, negative, non-numeric or oversized value.
    for (const char* value : {"", "-1", "abc", "2147483648"}) {
      metadata[key] = value;
      EXPECT_FALSE(check_encoder_metadata(encoder_with(metadata))) << key << "=" << value;
    }
  }
}

TEST(CheckEncoderMetadata, NormalizeTypeIsOptionalButMustBeKnown) {
  for (const char* known : {"", "NA", "per_feature"}) {
    auto metadata = nemo_metadata();
    metadata["normalize_type"] = known;
    EXPECT_TRUE(check_encoder_metadata(encoder_with(metadata))) << known;
  }
  auto metadata = nemo_metadata();
  metadata["normalize_type"] = "all_features";
  EXPECT_FALSE(check_encoder_metadata(encoder_with(metadata)));
}

TEST(CheckEncoderMetadata, OptionalIntegersMustNotBeNegative) {
  for (const char* key : {"feat_dim", "is_giga_am"}) {
    auto metadata = nemo_metadata();
    for (const char* value : {"", "abc", "0", "128"}) {  // atoi: the first two read as 0
      metadata[key] = value;
      EXPECT_TRUE(check_encoder_metadata(encoder_with(metadata))) << key << "=" << value;
    }
    metadata[key] = "-1";
    EXPECT_FALSE(check_encoder_metadata(encoder_with(metadata))) << key;
  }
}

TEST(CheckEncoderInput, TakesTheBinsTheLibraryComputes) {
  const Dims takes_80{std::nullopt, 80, std::nullopt};
  const Dims takes_128{std::nullopt, 128, std::nullopt};
  const Dims takes_64{std::nullopt, 64, std::nullopt};
  EXPECT_TRUE(check_encoder_input(encoder_with({}, takes_80)));
  EXPECT_TRUE(check_encoder_input(encoder_with({{"feat_dim", "0"}}, takes_80)));
  EXPECT_TRUE(check_encoder_input(encoder_with({{"feat_dim", "128"}}, takes_128)));
  EXPECT_TRUE(
      check_encoder_input(encoder_with({{"is_giga_am", "1"}, {"feat_dim", "80"}}, takes_64)));
  // The library would compute other bins than the input takes: the first decode would fail.
  EXPECT_FALSE(check_encoder_input(encoder_with({{"feat_dim", "128"}}, takes_80)));
  EXPECT_FALSE(check_encoder_input(encoder_with({}, takes_128)));
  EXPECT_FALSE(check_encoder_input(encoder_with({{"is_giga_am", "1"}}, takes_80)));
  // Nothing to compare with.
  EXPECT_TRUE(
      check_encoder_input(encoder_with({{"feat_dim", "128"}}, Dims{std::nullopt, std::nullopt})));
  EXPECT_TRUE(check_encoder_input(encoder_with({{"feat_dim", "128"}}, std::nullopt)));
}

TEST(IsTdtModel, LooksForLowerCaseTdtInTheUrl) {
  EXPECT_TRUE(is_tdt_model(encoder_with({{"url", "https://x/parakeet-tdt-0.6b"}})));
  EXPECT_FALSE(is_tdt_model(encoder_with({{"url", "https://x/parakeet-TDT-0.6b"}})));
  EXPECT_FALSE(is_tdt_model(encoder_with({})));
}

OnnxModelSummary joiner_with_last_dim(std::optional<std::int64_t> last) {
  OnnxModelSummary joiner;
  joiner.first_output_dims = Dims{std::nullopt, 1, 1, last};
  return joiner;
}

TEST(CheckJoinerOutput, APlainJoinerGivesOneLogitPerToken) {
  EXPECT_TRUE(check_joiner_output(joiner_with_last_dim(55), 55, false));
  EXPECT_FALSE(check_joiner_output(joiner_with_last_dim(60), 55, false));
}

TEST(CheckJoinerOutput, ATdtJoinerAlsoGivesDurations) {
  EXPECT_TRUE(check_joiner_output(joiner_with_last_dim(60), 55, true));
  EXPECT_FALSE(check_joiner_output(joiner_with_last_dim(55), 55, true));
}

TEST(CheckJoinerOutput, ASymbolicSizeIsLeftToTheLibraryButNoShapeIsRefused) {
  EXPECT_TRUE(check_joiner_output(joiner_with_last_dim(std::nullopt), 55, false));
  EXPECT_TRUE(check_joiner_output(joiner_with_last_dim(std::nullopt), 55, true));
  EXPECT_FALSE(check_joiner_output(OnnxModelSummary{}, 55, true));
}

// A table of four tokens with the blank last, in the library's format.
const std::string TOKENS =
    "<unk> 0\n\xE2\x96\x81"
    "a 1\nb 2\n<blk> 3\n";

TEST(CheckTokens, AcceptsWhatTheLibraryReads) {
  const std::vector<std::string> accepted = {
      TOKENS,
      "<unk> 0\r\n\xE2\x96\x81"
      "a 1\r\nb 2\r\n<blk> 3\r\n",  // CR LF
      "\n<unk>\t0\n\n  \xE2\x96\x81"
      "a   1  \n\nb 2\n<blk> 3",  // blank lines, tabs, no final LF
      "<blk> 3\n<unk> 0\nb 2\n\xE2\x96\x81"
      "a 1\n",                              // ids in any order
      "<unk> 0\n1\nb 2\n<blk> 3\n",         // an id alone is the space token
      "<unk> 0\n1abc\nb 2\n<blk> 3\n",      // read with atoi
      "<unk> 0\na +1\nb 2\n<blk> 3\n",      // a signed id
      "<unk> 0\na -1\nb 2\n<blk> 3\n",      // a negative id is just another id
      "<unk> 0\na 0\nb 2\nc 1\n<blk> 3\n",  // more lines than ids is no matter
  };
  for (const std::string& text : accepted) {
    Status status = check_tokens(text, 4);
    EXPECT_TRUE(status) << text << (status ? "" : status.error().message());
  }
}

TEST(CheckTokens, RefusesWhatTheLibraryDiesOf) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"<unk> 0\na 1 x\nb 2\n<blk> 3\n", "line 2 has a third field"},
      {"<unk> 0\na x\nb 2\n<blk> 3\n", "line 2 has no integer id"},
      {"<unk> 0\na 1.0\nb 2\n<blk> 3\n", "line 2 has no integer id"},
      {"<unk> 0\na 0x1\nb 2\n<blk> 3\n", "line 2 has no integer id"},
      {"<unk> 0\na 1abc\nb 2\n<blk> 3\n", "line 2 has no integer id"},
      {"<unk> 0\na 1\nb 2\nblank 3\n", "no <blk>"},
      {"<unk> 0\na 1\nb 3\n<blk> 2\n", "<blk> is not the last token"},
      {"<unk> 0\na 1\nb 1\n<blk> 3\n", "3 tokens, the model has 4"},
      {"<unk> 0\nzz\nb 2\n<blk> 3\n", "3 tokens, the model has 4"},  // atoi: 0
      {"<unk> 0\na 1\n<blk> 2\n", "<blk> is not the last token"},
  };
  for (const auto& [text, message] : refused) {
    Status status = check_tokens(text, 4);
    ASSERT_FALSE(status) << text;
    EXPECT_EQ(status.error().message(), message) << text;
  }
}

// The generated model directories: each broken one is refused, except the one whose graph
// only ONNX Runtime can judge, and the facts of a good one are found.
TEST(CheckModelFiles, GeneratedModels) {
  const char* data = std::getenv("TW_TEST_DATA");
  if (data == nullptr) GTEST_SKIP() << "TW_TEST_DATA is not set";
  auto check = [&](const std::string& name, ModelFacts& facts) {
    return check_model_files(find_model_files(path_utf8(utf8_path(data) / "models" / name)), facts);
  };
  for (const char* good : {"tone", "tone-plain", "tone-heavy", "export-int8", "export-fp32",
                           "export-per-feature", "broken-bad-graph"}) {
    ModelFacts facts;
    Status status = check(good, facts);
    EXPECT_TRUE(status) << good << ": " << (status ? "" : status.error().chain());
  }
  for (const char* bad : {"broken-not-onnx", "broken-missing-metadata", "broken-tokens-mismatch",
                          "broken-missing-files", "broken-missing-weights"}) {
    ModelFacts facts;
    EXPECT_FALSE(check(bad, facts)) << bad;
  }
  ModelFacts facts;
  ASSERT_TRUE(check("export-fp32", facts));
  EXPECT_EQ(facts.encoder_weights, std::vector<std::string>{"encoder.weights"});
  EXPECT_TRUE(facts.decoder_weights.empty() && facts.joiner_weights.empty());
  EXPECT_EQ(facts.vocab_size, 1024);
  EXPECT_EQ(facts.feature_bins, 128);
  EXPECT_EQ(facts.subsampling, 8);
  EXPECT_EQ(facts.tdt, true);
  EXPECT_EQ(facts.normalize_type, "");
  EXPECT_EQ(facts.tokens, 1025);
  Status missing = check("broken-missing-weights", facts);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().chain(), "encoder.onnx: its weights file encoder.weights is missing");
}

}  // namespace
}  // namespace tw

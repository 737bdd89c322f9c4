#include "core/asr/recognizer_config.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tw {
namespace {

RecognizerSettings settings() {
  return RecognizerSettings{
      .files = {"m/encoder.int8.onnx", "m/decoder.fp16.onnx", "m/joiner.onnx", "m/tokens.txt"},
      .num_threads = 3,
      .provider = "cuda",
  };
}

TEST(RecognizerConfig, SetsTheTransducerFields) {
  const RecognizerSettings s = settings();
  const SherpaOnnxOfflineRecognizerConfig c = make_recognizer_config(s);
  EXPECT_EQ(c.feat_config.sample_rate, 16000);
  EXPECT_EQ(c.feat_config.feature_dim, 80);
  EXPECT_STREQ(c.model_config.transducer.encoder, "m/encoder.int8.onnx");
  EXPECT_STREQ(c.model_config.transducer.decoder, "m/decoder.fp16.onnx");
  EXPECT_STREQ(c.model_config.transducer.joiner, "m/joiner.onnx");
  EXPECT_STREQ(c.model_config.tokens, "m/tokens.txt");
  EXPECT_EQ(c.model_config.num_threads, 3);
  EXPECT_EQ(c.model_config.debug, 0);
  EXPECT_STREQ(c.model_config.provider, "cuda");
  EXPECT_STREQ(c.model_config.model_type, "nemo_transducer");
  EXPECT_EQ(c.lm_config.model, nullptr);
  EXPECT_EQ(c.lm_config.scale, 1.0f);
  EXPECT_EQ(c.decoding_method, nullptr);
  EXPECT_EQ(c.max_active_paths, 4);
}

TEST(RecognizerConfig, EverythingElseIsZero) {
  const RecognizerSettings s = settings();
  SherpaOnnxOfflineRecognizerConfig c = make_recognizer_config(s);
  // Clear the fields set on purpose; every other byte, padding included, must be zero.
  c.feat_config = {};
  c.model_config.transducer = {};
  c.model_config.tokens = nullptr;
  c.model_config.num_threads = 0;
  c.model_config.provider = nullptr;
  c.model_config.model_type = nullptr;
  c.lm_config.scale = 0.0f;
  c.max_active_paths = 0;
  unsigned char bytes[sizeof c];
  std::memcpy(bytes, &c, sizeof c);
  for (std::size_t i = 0; i < sizeof c; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(RecognizerConfig, StringsPointIntoTheSettings) {
  const RecognizerSettings s = settings();
  const SherpaOnnxOfflineRecognizerConfig c = make_recognizer_config(s);
  EXPECT_EQ(c.model_config.transducer.encoder, s.files.encoder.c_str());
  EXPECT_EQ(c.model_config.tokens, s.files.tokens.c_str());
  EXPECT_EQ(c.model_config.provider, s.provider.c_str());
}

}  // namespace
}  // namespace tw

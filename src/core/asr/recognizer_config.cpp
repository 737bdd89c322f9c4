#include "core/asr/recognizer_config.h"

#include <cstring>

#include "core/audio/piece.h"

namespace tw {
namespace {

// Log-mel bins per 10 ms frame that NeMo transducer encoders take.
constexpr std::int32_t FEATURE_BINS = 80;
// Hypotheses kept by beam search; unused by the default greedy search but stated all the same.
constexpr std::int32_t MAX_ACTIVE_PATHS = 4;
constexpr float LM_SCALE = 1.0f;

}  // namespace

SherpaOnnxOfflineRecognizerConfig make_recognizer_config(const RecognizerSettings& settings) {
  SherpaOnnxOfflineRecognizerConfig config;
  std::memset(&config, 0, sizeof config);  // every pointer null, every number 0, padding too
  config.feat_config.sample_rate = SAMPLE_RATE;
  config.feat_config.feature_dim = FEATURE_BINS;
  config.model_config.transducer.encoder = settings.files.encoder.c_str();
  config.model_config.transducer.decoder = settings.files.decoder.c_str();
  config.model_config.transducer.joiner = settings.files.joiner.c_str();
  config.model_config.tokens = settings.files.tokens.c_str();
  config.model_config.num_threads = settings.num_threads;
  config.model_config.debug = 0;
  config.model_config.provider = settings.provider.c_str();
  config.model_config.model_type = "nemo_transducer";
  config.lm_config.model = nullptr;
  config.lm_config.scale = LM_SCALE;
  config.decoding_method = nullptr;  // the library's default: greedy search
  config.max_active_paths = MAX_ACTIVE_PATHS;
  return config;
}

}  // namespace tw

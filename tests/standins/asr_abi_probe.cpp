// Hands the speech library a configuration record in which every field holds a value of its
// own, with debug on, so that the library prints the record as it read it on standard error.
// A test compares that print with the values set here: a field declared at the wrong place
// shows up under the wrong name, or not at all. No model files are named, so the call returns
// nothing after the print.
//
// Strings are "S_" + the field's path; numbers are listed in the test (tests/e2e).
#include <cstdio>
#include <cstring>

#include "core/asr/sherpa_onnx_abi.h"

namespace {

#define SET_TEXT(field) config.field = "S_" #field

SherpaOnnxOfflineRecognizerConfig probe_config() {
  SherpaOnnxOfflineRecognizerConfig config;
  std::memset(&config, 0, sizeof config);
  config.feat_config.sample_rate = 22050;
  config.feat_config.feature_dim = 83;
  SET_TEXT(model_config.transducer.encoder);
  SET_TEXT(model_config.transducer.decoder);
  SET_TEXT(model_config.transducer.joiner);
  SET_TEXT(model_config.paraformer.model);
  SET_TEXT(model_config.nemo_ctc.model);
  SET_TEXT(model_config.whisper.encoder);
  SET_TEXT(model_config.whisper.decoder);
  SET_TEXT(model_config.whisper.language);
  SET_TEXT(model_config.whisper.task);
  config.model_config.whisper.tail_paddings = 1234;
  config.model_config.whisper.enable_token_timestamps = 1;
  config.model_config.whisper.enable_segment_timestamps = 1;
  SET_TEXT(model_config.tdnn.model);
  SET_TEXT(model_config.tokens);
  config.model_config.num_threads = 7;
  config.model_config.debug = 1;
  SET_TEXT(model_config.provider);
  SET_TEXT(model_config.model_type);
  SET_TEXT(model_config.modeling_unit);
  SET_TEXT(model_config.bpe_vocab);
  SET_TEXT(model_config.telespeech_ctc);
  SET_TEXT(model_config.sense_voice.model);
  SET_TEXT(model_config.sense_voice.language);
  config.model_config.sense_voice.use_itn = 1;
  SET_TEXT(model_config.moonshine.preprocessor);
  SET_TEXT(model_config.moonshine.encoder);
  SET_TEXT(model_config.moonshine.uncached_decoder);
  SET_TEXT(model_config.moonshine.cached_decoder);
  SET_TEXT(model_config.moonshine.merged_decoder);
  SET_TEXT(model_config.fire_red_asr.encoder);
  SET_TEXT(model_config.fire_red_asr.decoder);
  SET_TEXT(model_config.dolphin.model);
  SET_TEXT(model_config.zipformer_ctc.model);
  SET_TEXT(model_config.canary.encoder);
  SET_TEXT(model_config.canary.decoder);
  SET_TEXT(model_config.canary.src_lang);
  SET_TEXT(model_config.canary.tgt_lang);
  config.model_config.canary.use_pnc = 1;
  SET_TEXT(model_config.wenet_ctc.model);
  SET_TEXT(model_config.omnilingual.model);
  SET_TEXT(model_config.medasr.model);
  SET_TEXT(model_config.funasr_nano.encoder_adaptor);
  SET_TEXT(model_config.funasr_nano.llm);
  SET_TEXT(model_config.funasr_nano.embedding);
  SET_TEXT(model_config.funasr_nano.tokenizer);
  SET_TEXT(model_config.funasr_nano.system_prompt);
  SET_TEXT(model_config.funasr_nano.user_prompt);
  config.model_config.funasr_nano.max_new_tokens = 2345;
  config.model_config.funasr_nano.temperature = 0.625f;
  config.model_config.funasr_nano.top_p = 0.375f;
  config.model_config.funasr_nano.seed = 3456;
  SET_TEXT(model_config.funasr_nano.language);
  config.model_config.funasr_nano.itn = 1;
  SET_TEXT(model_config.funasr_nano.hotwords);
  SET_TEXT(model_config.fire_red_asr_ctc.model);
  SET_TEXT(model_config.qwen3_asr.conv_frontend);
  SET_TEXT(model_config.qwen3_asr.encoder);
  SET_TEXT(model_config.qwen3_asr.decoder);
  SET_TEXT(model_config.qwen3_asr.tokenizer);
  config.model_config.qwen3_asr.max_total_len = 4567;
  config.model_config.qwen3_asr.max_new_tokens = 5678;
  config.model_config.qwen3_asr.temperature = 0.125f;
  config.model_config.qwen3_asr.top_p = 0.875f;
  config.model_config.qwen3_asr.seed = 6789;
  SET_TEXT(model_config.qwen3_asr.hotwords);
  SET_TEXT(model_config.cohere_transcribe.encoder);
  SET_TEXT(model_config.cohere_transcribe.decoder);
  SET_TEXT(model_config.cohere_transcribe.language);
  config.model_config.cohere_transcribe.use_punct = 1;
  config.model_config.cohere_transcribe.use_itn = 1;
  SET_TEXT(lm_config.model);
  config.lm_config.scale = 2.75f;
  SET_TEXT(decoding_method);
  config.max_active_paths = 9;
  SET_TEXT(hotwords_file);
  config.hotwords_score = 3.25f;
  SET_TEXT(rule_fsts);
  SET_TEXT(rule_fars);
  config.blank_penalty = 4.5f;
  SET_TEXT(hr.dict_dir);
  SET_TEXT(hr.lexicon);
  SET_TEXT(hr.rule_fsts);
  return config;
}

}  // namespace

#ifdef _WIN32
int wmain() {
#else
int main() {
#endif
  const SherpaOnnxOfflineRecognizerConfig config = probe_config();
  const SherpaOnnxOfflineRecognizer* recognizer = SherpaOnnxCreateOfflineRecognizer(&config);
  SherpaOnnxDestroyOfflineRecognizer(recognizer);
  std::printf("%s\n", recognizer == nullptr ? "refused" : "created");
  return 0;
}

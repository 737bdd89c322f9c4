#pragma once
// Our own declarations of the part of sherpa-onnx's C interface (version 1.13.4) that the
// worker uses: the offline recognizer's configuration record and nine functions.
//
// The library reads the whole configuration record and has no size or version field in it, so
// every nested record is declared complete, field by field, in the library's order; the
// static_asserts below pin every size and offset. A header of another library version can
// compile cleanly and still be wrong, which is why we do not rely on one.
//
// Only speech_library.cpp and the ABI probe include this file.

#include <cstddef>
#include <cstdint>

extern "C" {

struct SherpaOnnxFeatureConfig {
  int32_t sample_rate;
  int32_t feature_dim;
};

struct SherpaOnnxOfflineTransducerModelConfig {
  const char* encoder;
  const char* decoder;
  const char* joiner;
};

struct SherpaOnnxOfflineParaformerModelConfig {
  const char* model;
};

struct SherpaOnnxOfflineNemoEncDecCtcModelConfig {
  const char* model;
};

struct SherpaOnnxOfflineWhisperModelConfig {
  const char* encoder;
  const char* decoder;
  const char* language;
  const char* task;
  int32_t tail_paddings;
  int32_t enable_token_timestamps;
  int32_t enable_segment_timestamps;
};

struct SherpaOnnxOfflineTdnnModelConfig {
  const char* model;
};

struct SherpaOnnxOfflineSenseVoiceModelConfig {
  const char* model;
  const char* language;
  int32_t use_itn;
};

struct SherpaOnnxOfflineMoonshineModelConfig {
  const char* preprocessor;
  const char* encoder;
  const char* uncached_decoder;
  const char* cached_decoder;
  const char* merged_decoder;
};

struct SherpaOnnxOfflineFireRedAsrModelConfig {
  const char* encoder;
  const char* decoder;
};

struct SherpaOnnxOfflineDolphinModelConfig {
  const char* model;
};

struct SherpaOnnxOfflineZipformerCtcModelConfig {
  const char* model;
};

struct SherpaOnnxOfflineCanaryModelConfig {
  const char* encoder;
  const char* decoder;
  const char* src_lang;
  const char* tgt_lang;
  int32_t use_pnc;
};

struct SherpaOnnxOfflineWenetCtcModelConfig {
  const char* model;
};

struct SherpaOnnxOfflineOmnilingualAsrCtcModelConfig {
  const char* model;
};

struct SherpaOnnxOfflineMedAsrCtcModelConfig {
  const char* model;
};

struct SherpaOnnxOfflineFunASRNanoModelConfig {
  const char* encoder_adaptor;
  const char* llm;
  const char* embedding;
  const char* tokenizer;
  const char* system_prompt;
  const char* user_prompt;
  int32_t max_new_tokens;
  float temperature;
  float top_p;
  int32_t seed;
  const char* language;
  int32_t itn;
  const char* hotwords;
};

struct SherpaOnnxOfflineFireRedAsrCtcModelConfig {
  const char* model;
};

struct SherpaOnnxOfflineQwen3ASRModelConfig {
  const char* conv_frontend;
  const char* encoder;
  const char* decoder;
  const char* tokenizer;
  int32_t max_total_len;
  int32_t max_new_tokens;
  float temperature;
  float top_p;
  int32_t seed;
  const char* hotwords;
};

struct SherpaOnnxOfflineCohereTranscribeModelConfig {
  const char* encoder;
  const char* decoder;
  const char* language;
  int32_t use_punct;
  int32_t use_itn;
};

struct SherpaOnnxOfflineModelConfig {
  SherpaOnnxOfflineTransducerModelConfig transducer;
  SherpaOnnxOfflineParaformerModelConfig paraformer;
  SherpaOnnxOfflineNemoEncDecCtcModelConfig nemo_ctc;
  SherpaOnnxOfflineWhisperModelConfig whisper;
  SherpaOnnxOfflineTdnnModelConfig tdnn;
  const char* tokens;
  int32_t num_threads;
  int32_t debug;
  const char* provider;
  const char* model_type;
  const char* modeling_unit;
  const char* bpe_vocab;
  const char* telespeech_ctc;
  SherpaOnnxOfflineSenseVoiceModelConfig sense_voice;
  SherpaOnnxOfflineMoonshineModelConfig moonshine;
  SherpaOnnxOfflineFireRedAsrModelConfig fire_red_asr;
  SherpaOnnxOfflineDolphinModelConfig dolphin;
  SherpaOnnxOfflineZipformerCtcModelConfig zipformer_ctc;
  SherpaOnnxOfflineCanaryModelConfig canary;
  SherpaOnnxOfflineWenetCtcModelConfig wenet_ctc;
  SherpaOnnxOfflineOmnilingualAsrCtcModelConfig omnilingual;
  SherpaOnnxOfflineMedAsrCtcModelConfig medasr;
  SherpaOnnxOfflineFunASRNanoModelConfig funasr_nano;
  SherpaOnnxOfflineFireRedAsrCtcModelConfig fire_red_asr_ctc;
  SherpaOnnxOfflineQwen3ASRModelConfig qwen3_asr;
  SherpaOnnxOfflineCohereTranscribeModelConfig cohere_transcribe;
};

struct SherpaOnnxOfflineLMConfig {
  const char* model;
  float scale;
};

struct SherpaOnnxHomophoneReplacerConfig {
  const char* dict_dir;
  const char* lexicon;
  const char* rule_fsts;
};

struct SherpaOnnxOfflineRecognizerConfig {
  SherpaOnnxFeatureConfig feat_config;
  SherpaOnnxOfflineModelConfig model_config;
  SherpaOnnxOfflineLMConfig lm_config;
  const char* decoding_method;
  int32_t max_active_paths;
  const char* hotwords_file;
  float hotwords_score;
  const char* rule_fsts;
  const char* rule_fars;
  float blank_penalty;
  SherpaOnnxHomophoneReplacerConfig hr;
};

// Opaque objects of the library; only pointers to them are ever held. The library takes and
// returns them as pointers to const, although it changes the objects behind them.
struct SherpaOnnxOfflineRecognizer;
struct SherpaOnnxOfflineStream;

const SherpaOnnxOfflineRecognizer* SherpaOnnxCreateOfflineRecognizer(
    const SherpaOnnxOfflineRecognizerConfig* config);
void SherpaOnnxDestroyOfflineRecognizer(const SherpaOnnxOfflineRecognizer* recognizer);
const SherpaOnnxOfflineStream* SherpaOnnxCreateOfflineStream(
    const SherpaOnnxOfflineRecognizer* recognizer);
void SherpaOnnxAcceptWaveformOffline(const SherpaOnnxOfflineStream* stream, int32_t sample_rate,
                                     const float* samples, int32_t n);
void SherpaOnnxDecodeOfflineStream(const SherpaOnnxOfflineRecognizer* recognizer,
                                   const SherpaOnnxOfflineStream* stream);
void SherpaOnnxDecodeMultipleOfflineStreams(const SherpaOnnxOfflineRecognizer* recognizer,
                                            const SherpaOnnxOfflineStream** streams, int32_t n);
const char* SherpaOnnxGetOfflineStreamResultAsJson(const SherpaOnnxOfflineStream* stream);
void SherpaOnnxDestroyOfflineStreamResultJson(const char* json);
void SherpaOnnxDestroyOfflineStream(const SherpaOnnxOfflineStream* stream);

}  // extern "C"

// ---- The layout, as measured on the 1.13.4 binaries (identical on Linux x86-64 and Windows x64).

#define TW_ABI_SIZE(type, size, align) \
  static_assert(sizeof(type) == (size) && alignof(type) == (align), #type)
#define TW_ABI_AT(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), #type "." #field)

TW_ABI_SIZE(SherpaOnnxOfflineRecognizerConfig, 608, 8);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, feat_config, 0);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config, 8);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, lm_config, 512);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, decoding_method, 528);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, max_active_paths, 536);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, hotwords_file, 544);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, hotwords_score, 552);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, rule_fsts, 560);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, rule_fars, 568);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, blank_penalty, 576);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, hr, 584);

TW_ABI_SIZE(SherpaOnnxFeatureConfig, 8, 4);
TW_ABI_AT(SherpaOnnxFeatureConfig, sample_rate, 0);
TW_ABI_AT(SherpaOnnxFeatureConfig, feature_dim, 4);

TW_ABI_SIZE(SherpaOnnxOfflineModelConfig, 504, 8);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, transducer, 0);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, paraformer, 24);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, nemo_ctc, 32);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, whisper, 40);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, tdnn, 88);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, tokens, 96);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, num_threads, 104);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, debug, 108);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, provider, 112);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, model_type, 120);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, modeling_unit, 128);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, bpe_vocab, 136);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, telespeech_ctc, 144);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, sense_voice, 152);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, moonshine, 176);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, fire_red_asr, 216);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, dolphin, 232);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, zipformer_ctc, 240);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, canary, 248);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, wenet_ctc, 288);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, omnilingual, 296);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, medasr, 304);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, funasr_nano, 312);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, fire_red_asr_ctc, 400);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, qwen3_asr, 408);
TW_ABI_AT(SherpaOnnxOfflineModelConfig, cohere_transcribe, 472);

TW_ABI_SIZE(SherpaOnnxOfflineTransducerModelConfig, 24, 8);
TW_ABI_AT(SherpaOnnxOfflineTransducerModelConfig, encoder, 0);
TW_ABI_AT(SherpaOnnxOfflineTransducerModelConfig, decoder, 8);
TW_ABI_AT(SherpaOnnxOfflineTransducerModelConfig, joiner, 16);

TW_ABI_SIZE(SherpaOnnxOfflineParaformerModelConfig, 8, 8);
TW_ABI_AT(SherpaOnnxOfflineParaformerModelConfig, model, 0);

TW_ABI_SIZE(SherpaOnnxOfflineNemoEncDecCtcModelConfig, 8, 8);
TW_ABI_AT(SherpaOnnxOfflineNemoEncDecCtcModelConfig, model, 0);

TW_ABI_SIZE(SherpaOnnxOfflineWhisperModelConfig, 48, 8);
TW_ABI_AT(SherpaOnnxOfflineWhisperModelConfig, encoder, 0);
TW_ABI_AT(SherpaOnnxOfflineWhisperModelConfig, decoder, 8);
TW_ABI_AT(SherpaOnnxOfflineWhisperModelConfig, language, 16);
TW_ABI_AT(SherpaOnnxOfflineWhisperModelConfig, task, 24);
TW_ABI_AT(SherpaOnnxOfflineWhisperModelConfig, tail_paddings, 32);
TW_ABI_AT(SherpaOnnxOfflineWhisperModelConfig, enable_token_timestamps, 36);
TW_ABI_AT(SherpaOnnxOfflineWhisperModelConfig, enable_segment_timestamps, 40);

TW_ABI_SIZE(SherpaOnnxOfflineTdnnModelConfig, 8, 8);
TW_ABI_AT(SherpaOnnxOfflineTdnnModelConfig, model, 0);

TW_ABI_SIZE(SherpaOnnxOfflineSenseVoiceModelConfig, 24, 8);
TW_ABI_AT(SherpaOnnxOfflineSenseVoiceModelConfig, model, 0);
TW_ABI_AT(SherpaOnnxOfflineSenseVoiceModelConfig, language, 8);
TW_ABI_AT(SherpaOnnxOfflineSenseVoiceModelConfig, use_itn, 16);

TW_ABI_SIZE(SherpaOnnxOfflineMoonshineModelConfig, 40, 8);
TW_ABI_AT(SherpaOnnxOfflineMoonshineModelConfig, preprocessor, 0);
TW_ABI_AT(SherpaOnnxOfflineMoonshineModelConfig, encoder, 8);
TW_ABI_AT(SherpaOnnxOfflineMoonshineModelConfig, uncached_decoder, 16);
TW_ABI_AT(SherpaOnnxOfflineMoonshineModelConfig, cached_decoder, 24);
TW_ABI_AT(SherpaOnnxOfflineMoonshineModelConfig, merged_decoder, 32);

TW_ABI_SIZE(SherpaOnnxOfflineFireRedAsrModelConfig, 16, 8);
TW_ABI_AT(SherpaOnnxOfflineFireRedAsrModelConfig, encoder, 0);
TW_ABI_AT(SherpaOnnxOfflineFireRedAsrModelConfig, decoder, 8);

TW_ABI_SIZE(SherpaOnnxOfflineDolphinModelConfig, 8, 8);
TW_ABI_AT(SherpaOnnxOfflineDolphinModelConfig, model, 0);

TW_ABI_SIZE(SherpaOnnxOfflineZipformerCtcModelConfig, 8, 8);
TW_ABI_AT(SherpaOnnxOfflineZipformerCtcModelConfig, model, 0);

TW_ABI_SIZE(SherpaOnnxOfflineCanaryModelConfig, 40, 8);
TW_ABI_AT(SherpaOnnxOfflineCanaryModelConfig, encoder, 0);
TW_ABI_AT(SherpaOnnxOfflineCanaryModelConfig, decoder, 8);
TW_ABI_AT(SherpaOnnxOfflineCanaryModelConfig, src_lang, 16);
TW_ABI_AT(SherpaOnnxOfflineCanaryModelConfig, tgt_lang, 24);
TW_ABI_AT(SherpaOnnxOfflineCanaryModelConfig, use_pnc, 32);

TW_ABI_SIZE(SherpaOnnxOfflineWenetCtcModelConfig, 8, 8);
TW_ABI_AT(SherpaOnnxOfflineWenetCtcModelConfig, model, 0);

TW_ABI_SIZE(SherpaOnnxOfflineOmnilingualAsrCtcModelConfig, 8, 8);
TW_ABI_AT(SherpaOnnxOfflineOmnilingualAsrCtcModelConfig, model, 0);

TW_ABI_SIZE(SherpaOnnxOfflineMedAsrCtcModelConfig, 8, 8);
TW_ABI_AT(SherpaOnnxOfflineMedAsrCtcModelConfig, model, 0);

TW_ABI_SIZE(SherpaOnnxOfflineFunASRNanoModelConfig, 88, 8);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, encoder_adaptor, 0);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, llm, 8);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, embedding, 16);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, tokenizer, 24);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, system_prompt, 32);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, user_prompt, 40);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, max_new_tokens, 48);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, temperature, 52);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, top_p, 56);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, seed, 60);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, language, 64);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, itn, 72);
TW_ABI_AT(SherpaOnnxOfflineFunASRNanoModelConfig, hotwords, 80);

TW_ABI_SIZE(SherpaOnnxOfflineFireRedAsrCtcModelConfig, 8, 8);
TW_ABI_AT(SherpaOnnxOfflineFireRedAsrCtcModelConfig, model, 0);

TW_ABI_SIZE(SherpaOnnxOfflineQwen3ASRModelConfig, 64, 8);
TW_ABI_AT(SherpaOnnxOfflineQwen3ASRModelConfig, conv_frontend, 0);
TW_ABI_AT(SherpaOnnxOfflineQwen3ASRModelConfig, encoder, 8);
TW_ABI_AT(SherpaOnnxOfflineQwen3ASRModelConfig, decoder, 16);
TW_ABI_AT(SherpaOnnxOfflineQwen3ASRModelConfig, tokenizer, 24);
TW_ABI_AT(SherpaOnnxOfflineQwen3ASRModelConfig, max_total_len, 32);
TW_ABI_AT(SherpaOnnxOfflineQwen3ASRModelConfig, max_new_tokens, 36);
TW_ABI_AT(SherpaOnnxOfflineQwen3ASRModelConfig, temperature, 40);
TW_ABI_AT(SherpaOnnxOfflineQwen3ASRModelConfig, top_p, 44);
TW_ABI_AT(SherpaOnnxOfflineQwen3ASRModelConfig, seed, 48);
TW_ABI_AT(SherpaOnnxOfflineQwen3ASRModelConfig, hotwords, 56);

TW_ABI_SIZE(SherpaOnnxOfflineCohereTranscribeModelConfig, 32, 8);
TW_ABI_AT(SherpaOnnxOfflineCohereTranscribeModelConfig, encoder, 0);
TW_ABI_AT(SherpaOnnxOfflineCohereTranscribeModelConfig, decoder, 8);
TW_ABI_AT(SherpaOnnxOfflineCohereTranscribeModelConfig, language, 16);
TW_ABI_AT(SherpaOnnxOfflineCohereTranscribeModelConfig, use_punct, 24);
TW_ABI_AT(SherpaOnnxOfflineCohereTranscribeModelConfig, use_itn, 28);

TW_ABI_SIZE(SherpaOnnxOfflineLMConfig, 16, 8);
TW_ABI_AT(SherpaOnnxOfflineLMConfig, model, 0);
TW_ABI_AT(SherpaOnnxOfflineLMConfig, scale, 8);

TW_ABI_SIZE(SherpaOnnxHomophoneReplacerConfig, 24, 8);
TW_ABI_AT(SherpaOnnxHomophoneReplacerConfig, dict_dir, 0);
TW_ABI_AT(SherpaOnnxHomophoneReplacerConfig, lexicon, 8);
TW_ABI_AT(SherpaOnnxHomophoneReplacerConfig, rule_fsts, 16);

// The flattened table: the absolute offset of every leaf in the top-level record.
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, feat_config.sample_rate, 0);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, feat_config.feature_dim, 4);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.transducer.encoder, 8);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.transducer.decoder, 16);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.transducer.joiner, 24);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.paraformer.model, 32);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.nemo_ctc.model, 40);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.whisper.encoder, 48);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.whisper.decoder, 56);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.whisper.language, 64);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.whisper.task, 72);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.whisper.tail_paddings, 80);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.whisper.enable_token_timestamps, 84);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.whisper.enable_segment_timestamps, 88);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.tdnn.model, 96);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.tokens, 104);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.num_threads, 112);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.debug, 116);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.provider, 120);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.model_type, 128);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.modeling_unit, 136);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.bpe_vocab, 144);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.telespeech_ctc, 152);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.sense_voice.model, 160);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.sense_voice.language, 168);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.sense_voice.use_itn, 176);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.moonshine.preprocessor, 184);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.moonshine.encoder, 192);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.moonshine.uncached_decoder, 200);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.moonshine.cached_decoder, 208);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.moonshine.merged_decoder, 216);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.fire_red_asr.encoder, 224);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.fire_red_asr.decoder, 232);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.dolphin.model, 240);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.zipformer_ctc.model, 248);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.canary.encoder, 256);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.canary.decoder, 264);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.canary.src_lang, 272);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.canary.tgt_lang, 280);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.canary.use_pnc, 288);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.wenet_ctc.model, 296);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.omnilingual.model, 304);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.medasr.model, 312);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.encoder_adaptor, 320);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.llm, 328);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.embedding, 336);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.tokenizer, 344);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.system_prompt, 352);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.user_prompt, 360);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.max_new_tokens, 368);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.temperature, 372);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.top_p, 376);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.seed, 380);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.language, 384);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.itn, 392);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.funasr_nano.hotwords, 400);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.fire_red_asr_ctc.model, 408);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.conv_frontend, 416);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.encoder, 424);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.decoder, 432);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.tokenizer, 440);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.max_total_len, 448);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.max_new_tokens, 452);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.temperature, 456);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.top_p, 460);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.seed, 464);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.qwen3_asr.hotwords, 472);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.cohere_transcribe.encoder, 480);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.cohere_transcribe.decoder, 488);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.cohere_transcribe.language, 496);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.cohere_transcribe.use_punct, 504);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, model_config.cohere_transcribe.use_itn, 508);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, lm_config.model, 512);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, lm_config.scale, 520);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, decoding_method, 528);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, max_active_paths, 536);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, hotwords_file, 544);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, hotwords_score, 552);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, rule_fsts, 560);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, rule_fars, 568);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, blank_penalty, 576);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, hr.dict_dir, 584);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, hr.lexicon, 592);
TW_ABI_AT(SherpaOnnxOfflineRecognizerConfig, hr.rule_fsts, 600);

#undef TW_ABI_SIZE
#undef TW_ABI_AT

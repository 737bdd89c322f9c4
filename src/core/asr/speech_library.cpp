#include "core/asr/speech_library.h"

#include "core/asr/recognizer_config.h"
#include "core/asr/sherpa_onnx_abi.h"
#include "core/platform/foreign_exceptions.h"

namespace tw {

const SpeechCalls& speech_library() {
  static const SpeechCalls calls{
      .create_stream = SherpaOnnxCreateOfflineStream,
      .accept_waveform = SherpaOnnxAcceptWaveformOffline,
      .decode_stream = SherpaOnnxDecodeOfflineStream,
      .decode_streams = SherpaOnnxDecodeMultipleOfflineStreams,
      .result_json = SherpaOnnxGetOfflineStreamResultAsJson,
      .release_result_json = SherpaOnnxDestroyOfflineStreamResultJson,
      .destroy_stream = SherpaOnnxDestroyOfflineStream,
      .destroy_recognizer = SherpaOnnxDestroyOfflineRecognizer,
  };
  return calls;
}

RecognizerHandle open_recognizer(const RecognizerSettings& settings, const Error& load_error) {
  struct Call {
    SherpaOnnxOfflineRecognizerConfig config;
    RecognizerHandle handle = nullptr;
  } call{make_recognizer_config(settings)};
  const bool returned = call_catching_exceptions(
      [](void* context) {
        auto* c = static_cast<Call*>(context);
        c->handle = SherpaOnnxCreateOfflineRecognizer(&c->config);
      },
      &call, load_error);
  return returned ? call.handle : nullptr;
}

}  // namespace tw

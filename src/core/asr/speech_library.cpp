#include "core/asr/speech_library.h"

#include <optional>
#include <string_view>
#include <vector>

#include "core/asr/recognizer_config.h"
#include "core/asr/sherpa_onnx_abi.h"
#include "core/audio/piece.h"
#include "core/error_exit.h"
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

namespace {

// The error `message`, with what the library threw as its cause when that says anything.
Error refusal(std::string message, std::string_view what) {
  if (what.empty()) return Error(std::move(message));
  return Error(std::move(message), Error(std::string(what)));
}

constexpr const char* LOAD_REFUSED = "the speech library refused the model";
constexpr const char* DECODE_FAILED = "the speech library failed to decode a second of silence";

}  // namespace

Result<RecognizerHandle> open_recognizer(const RecognizerSettings& settings,
                                         const UncaughtRefusal& uncaught) {
  struct Call {
    SherpaOnnxOfflineRecognizerConfig config;
    RecognizerHandle handle = nullptr;
  } call{make_recognizer_config(settings)};
  const std::optional<std::string> thrown = call_catching_exceptions(
      [](void* context) {
        auto* c = static_cast<Call*>(context);
        c->handle = SherpaOnnxCreateOfflineRecognizer(&c->config);
      },
      &call,
      [&](std::string_view what) { exit_with_error(uncaught(refusal(LOAD_REFUSED, what))); });
  if (thrown) return fail(refusal(LOAD_REFUSED, *thrown));
  if (call.handle == nullptr) return fail(LOAD_REFUSED);
  return call.handle;
}

Status decode_silence(RecognizerHandle recognizer, const UncaughtRefusal& uncaught) {
  struct Call {
    RecognizerHandle recognizer;
    StreamHandle stream = nullptr;
    std::vector<float> silence = std::vector<float>(SAMPLE_RATE, 0.0f);
  } call{recognizer};
  const SpeechCalls& calls = speech_library();
  const std::optional<std::string> thrown = call_catching_exceptions(
      [](void* context) {
        auto* c = static_cast<Call*>(context);
        const SpeechCalls& calls = speech_library();
        c->stream = calls.create_stream(c->recognizer);
        calls.accept_waveform(c->stream, SAMPLE_RATE, c->silence.data(),
                              static_cast<std::int32_t>(c->silence.size()));
        calls.decode_stream(c->recognizer, c->stream);
        calls.release_result_json(calls.result_json(c->stream));
      },
      &call,
      [&](std::string_view what) { exit_with_error(uncaught(refusal(DECODE_FAILED, what))); });
  calls.destroy_stream(call.stream);
  if (thrown) return fail(refusal(DECODE_FAILED, *thrown));
  return {};
}

}  // namespace tw

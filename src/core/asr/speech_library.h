#pragma once
// The speech library (sherpa-onnx) as the rest of the worker sees it: opaque handles, the
// settings a recognizer is made from, and a small table of the calls made on a loaded
// recognizer. The decode stage goes through the table only, so tests can run it against a
// scripted fake as well as against the real library.

#include <cstdint>
#include <functional>
#include <string>

#include "core/asr/model_files.h"
#include "core/error.h"

struct SherpaOnnxOfflineRecognizer;
struct SherpaOnnxOfflineStream;

namespace tw {

using RecognizerHandle = const SherpaOnnxOfflineRecognizer*;
using StreamHandle = const SherpaOnnxOfflineStream*;

struct SpeechCalls {
  StreamHandle (*create_stream)(RecognizerHandle recognizer);
  void (*accept_waveform)(StreamHandle stream, std::int32_t sample_rate, const float* samples,
                          std::int32_t count);
  void (*decode_stream)(RecognizerHandle recognizer, StreamHandle stream);
  // `count` is at least 1.
  void (*decode_streams)(RecognizerHandle recognizer, StreamHandle* streams, std::int32_t count);
  // A NUL-terminated text owned by the library, or null; released with release_result_json.
  const char* (*result_json)(StreamHandle stream);
  void (*release_result_json)(const char* json);
  void (*destroy_stream)(StreamHandle stream);
  void (*destroy_recognizer)(RecognizerHandle recognizer);
};

// The table of the real library.
const SpeechCalls& speech_library();

// What a transducer recognizer is made from; all text is UTF-8.
struct RecognizerSettings {
  ModelFiles files;
  std::int32_t num_threads = 1;
  std::string provider;  // "cpu" or "cuda"
};

// What the process ends with when the library throws where that cannot be caught (an MSVC
// exception in a mingw program): the error made from the library's refusal.
using UncaughtRefusal = std::function<Error(Error refusal)>;

// Creates a recognizer with the real library: the handle, or the error "the speech library
// refused the model" when it returned none or threw, with the exception's text as the cause
// when it has one. Where the exception cannot be caught, the process ends at once as though
// the run had failed with uncaught(that error).
Result<RecognizerHandle> open_recognizer(const RecognizerSettings& settings,
                                         const UncaughtRefusal& uncaught);

// Decodes one second of digital silence with a stream of its own: the first decode a freshly
// loaded model goes through. The error "the speech library failed to decode a second of
// silence" (with the exception's text as the cause) when the library threw.
Status decode_silence(RecognizerHandle recognizer, const UncaughtRefusal& uncaught);

}  // namespace tw

#pragma once
// The library's configuration record for a transducer recognizer.

#include "core/asr/sherpa_onnx_abi.h"
#include "core/asr/speech_library.h"

namespace tw {

// A zeroed record with the worker's settings filled in. Its strings point into `settings`,
// which must outlive the record's use.
SherpaOnnxOfflineRecognizerConfig make_recognizer_config(const RecognizerSettings& settings);

}  // namespace tw

// asr_load_model [--raw] MODEL_DIR
// Loads a model directory the way the worker does, decodes a second of silence with it, and
// reports the outcome as the worker's entry point would: "loaded" on standard output and status
// 0, or the error line and status 1. With --raw the library is called with the same
// configuration but without the worker's model check and exception guard, to show what the
// library alone does with the directory ("loaded", "refused", or the process dies).
#include <cstdio>
#include <string>

#include "core/asr/model_files.h"
#include "core/asr/recognizer.h"
#include "core/asr/recognizer_config.h"
#include "core/error_exit.h"
#include "core/platform/fail_fast.h"
#include "core/platform/process_arguments.h"
#include "core/platform/std_streams.h"

namespace {

// One second of digital silence through a stream of its own. The worker does not guard its
// decodes: a library exception there ends it abnormally.
void decode_silence(tw::RecognizerHandle recognizer) {
  tw::Status decoded = tw::decode_silence(recognizer, [](tw::Error refusal) { return refusal; });
  if (!decoded) tw::fail_fast(decoded.error().chain());
}

int load(const std::vector<std::string>& arguments) {
  const bool raw = arguments.size() == 2 && arguments[0] == "--raw";
  if (arguments.size() != 1 && !raw) {
    tw::write_stderr("usage: asr_load_model [--raw] MODEL_DIR\n");
    return 2;
  }
  const std::string& model_dir = arguments.back();
  if (raw) {
    const tw::RecognizerSettings settings{
        .files = tw::find_model_files(model_dir), .num_threads = 1, .provider = "cpu"};
    const SherpaOnnxOfflineRecognizerConfig config = tw::make_recognizer_config(settings);
    const SherpaOnnxOfflineRecognizer* recognizer = SherpaOnnxCreateOfflineRecognizer(&config);
    if (recognizer == nullptr) {
      std::puts("refused");
      return 0;
    }
    decode_silence(recognizer);
    SherpaOnnxDestroyOfflineRecognizer(recognizer);
    std::puts("loaded");
    return 0;
  }
  tw::Result<tw::Recognizer> recognizer = tw::create_recognizer(model_dir, false, tw::DecodePlan{});
  if (!recognizer) tw::exit_with_error(recognizer.error());
  decode_silence(recognizer->handle());
  std::puts("loaded");
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain() {
  tw::install_process_guards();
  return load(tw::process_arguments(0, nullptr));
}
#else
int main(int argc, char** argv) {
  tw::install_process_guards();
  return load(tw::process_arguments(argc, argv));
}
#endif

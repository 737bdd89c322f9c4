#pragma once
// The loaded speech recognizer, shared by every decode thread of a run.

#include <cstdint>
#include <string_view>

#include "core/asr/speech_library.h"
#include "core/error.h"

namespace tw {

// How the decoding is sized (the run driver decides).
struct DecodePlan {
  std::uint64_t workers = 1;     // decode threads; more than 1 selects worker mode
  std::int32_t num_threads = 1;  // inference threads of the recognizer
  // Most pieces per library call in single-thread mode, as asked for; the recognizer takes 0
  // as 1 and caps it at MAX_QUEUED_PIECES.
  std::uint64_t batch = 1;
};

// Owns the library's recognizer and releases it exactly once, when destroyed.
class Recognizer {
 public:
  // Takes ownership of `handle`, to be released through `calls`.
  Recognizer(RecognizerHandle handle, std::uint64_t workers, std::uint64_t batch,
             const SpeechCalls& calls = speech_library());
  Recognizer(Recognizer&& other) noexcept;
  Recognizer& operator=(Recognizer&& other) noexcept;
  Recognizer(const Recognizer&) = delete;
  Recognizer& operator=(const Recognizer&) = delete;
  ~Recognizer();

  RecognizerHandle handle() const { return handle_; }
  std::uint64_t workers() const { return workers_; }
  // Most pieces per library call: at least 1, and at most MAX_QUEUED_PIECES, so that one call
  // never holds more samples than the piece queue.
  std::uint64_t batch() const { return batch_; }
  const SpeechCalls& calls() const { return *calls_; }

 private:
  RecognizerHandle handle_;
  std::uint64_t workers_;
  std::uint64_t batch_;
  const SpeechCalls* calls_;
};

// Finds the model files in `model_dir`, checks them and loads them with the "cuda" or "cpu"
// provider. The one error is "failed to load model from " + `model_dir` as given.
Result<Recognizer> create_recognizer(std::string_view model_dir, bool use_cuda,
                                     const DecodePlan& plan);

}  // namespace tw

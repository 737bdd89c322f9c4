#include "core/asr/recognizer.h"

#include <algorithm>
#include <utility>

#include "core/asr/model_check.h"
#include "core/asr/model_files.h"
#include "core/audio/piece_queue.h"

namespace tw {

Recognizer::Recognizer(RecognizerHandle handle, std::uint64_t workers, std::uint64_t batch,
                       const SpeechCalls& calls)
    : handle_(handle),
      workers_(workers),
      batch_(std::clamp<std::uint64_t>(batch, 1, MAX_QUEUED_PIECES)),
      calls_(&calls) {}

Recognizer::Recognizer(Recognizer&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      workers_(other.workers_),
      batch_(other.batch_),
      calls_(other.calls_) {}

Recognizer& Recognizer::operator=(Recognizer&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) calls_->destroy_recognizer(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    workers_ = other.workers_;
    batch_ = other.batch_;
    calls_ = other.calls_;
  }
  return *this;
}

Recognizer::~Recognizer() {
  if (handle_ != nullptr) calls_->destroy_recognizer(handle_);
}

Result<Recognizer> create_recognizer(std::string_view model_dir, bool use_cuda,
                                     const DecodePlan& plan) {
  // The one error, whatever the cause: the worker does not say which file was bad.
  auto load_error = [&] { return Error("failed to load model from " + std::string(model_dir)); };
  RecognizerSettings settings{
      .files = find_model_files(model_dir),
      .num_threads = plan.num_threads,
      .provider = use_cuda ? "cuda" : "cpu",
  };
  // The library would end the process on most bad models rather than refuse them; those are
  // refused here like a missing file. What the check does not see is still caught around the
  // call where that is possible.
  if (!check_model_files(settings.files)) return fail(load_error());
  Result<RecognizerHandle> handle = open_recognizer(settings, [&](Error) { return load_error(); });
  if (!handle) return fail(load_error());
  return Recognizer(*handle, plan.workers, plan.batch);
}

}  // namespace tw

#include "core/audio/decoder_exit_watch.h"

namespace tw {
namespace {

// How often the watch looks for the decoder's exit; in between it waits for finish(), which
// therefore never waits long for the watch's thread.
constexpr std::chrono::milliseconds EXIT_POLL{50};

}  // namespace

DecoderExitWatch::DecoderExitWatch(const ChildProcess& decoder, std::chrono::milliseconds grace)
    : thread_([this, &decoder, grace] { watch(decoder, grace); }) {}

void DecoderExitWatch::finish() {
  {
    std::lock_guard guard(lock_);
    finished_ = true;
  }
  finish_called_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void DecoderExitWatch::watch(const ChildProcess& decoder, std::chrono::milliseconds grace) {
  const auto finish_called = [this] { return finished_; };
  std::unique_lock guard(lock_);
  while (!decoder.has_exited(std::chrono::milliseconds(0))) {
    if (finish_called_.wait_for(guard, EXIT_POLL, finish_called)) return;
  }
  if (finish_called_.wait_for(guard, grace, finish_called)) return;
  guard.unlock();
  // The decoder has exited, so its exit code stays what it was; only what it left running ends.
  end_process_tree(decoder.id());
}

}  // namespace tw

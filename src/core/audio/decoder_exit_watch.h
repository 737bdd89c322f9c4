#pragma once
// The watch over a decoder that has exited while its pipes stay open. A process the decoder
// started inherits its output and error pipes; while it lives, the audio thread's read never
// reaches the end of the output, though nothing more will come from the decoder itself. Once
// the decoder has exited and its pipes have not ended within a grace, the watch ends the
// decoder's tree (its job on Windows, its process group on POSIX), so that the reads end with
// what was written.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/platform/process.h"

namespace tw {

// How long the pipes may outlive the decoder before its tree is ended.
inline constexpr std::chrono::milliseconds DECODER_EXIT_GRACE{2000};

// Watches on a thread of its own from construction until finish(). The owner of the decoder
// calls finish() before it waits for, terminates or releases the decoder (has_exited's rule);
// `decoder` outlives the watch.
class DecoderExitWatch {
 public:
  DecoderExitWatch(const ChildProcess& decoder, std::chrono::milliseconds grace);
  ~DecoderExitWatch() { finish(); }
  DecoderExitWatch(const DecoderExitWatch&) = delete;
  DecoderExitWatch& operator=(const DecoderExitWatch&) = delete;

  // The pipes have ended, or the owner takes the decoder back: the watch stops; returns once
  // its thread has ended. Later calls do nothing.
  void finish();

 private:
  void watch(const ChildProcess& decoder, std::chrono::milliseconds grace);

  std::mutex lock_;
  std::condition_variable finish_called_;
  bool finished_ = false;
  std::thread thread_;  // last: it starts with the members above in place
};

}  // namespace tw

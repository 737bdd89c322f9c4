#include "core/platform/std_streams.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace tw {
namespace {

constexpr auto RECORD_COMPLETION_WAIT = std::chrono::seconds(2);

std::atomic<bool>& ended() {
  static std::atomic<bool> flag{false};
  return flag;
}

[[noreturn]] void wait_for_the_process_to_end() {
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

}  // namespace

std::recursive_timed_mutex& stdout_lock() {
  static std::recursive_timed_mutex lock;
  return lock;
}

Status write_stdout_whole(std::string_view bytes) {
  std::unique_lock<std::recursive_timed_mutex> hold(stdout_lock());
  // Checked under the lock: a record either started before the end (and end_output waits for
  // it) or sees the mark. The lock is given back first, so end_output never waits for this one.
  if (ended().load()) {
    hold.unlock();
    wait_for_the_process_to_end();
  }
  return write_stdout(bytes);
}

void end_output() {
  thread_local bool waited_here = false;
  ended().store(true);
  if (waited_here) return;
  waited_here = true;
  (void)stdout_lock().try_lock_for(RECORD_COMPLETION_WAIT);  // never released
}

bool output_ended() { return ended().load(); }

}  // namespace tw

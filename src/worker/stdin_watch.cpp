#include "worker/stdin_watch.h"

#include <array>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "core/platform/fail_fast.h"
#include "core/platform/std_streams.h"
#include "core/tools/child_registry.h"

namespace tw {
namespace {

constexpr std::size_t STDIN_READ_CHUNK = 8192;  // bytes

// The process-wide standard-input lock: nothing but the watch reads standard input.
std::mutex& stdin_lock() {
  static std::mutex lock;
  return lock;
}

// Returns at the end of input, on a broken pipe, without a standard-input handle and on any
// other read error: each of them means the host can no longer reach the worker.
void discard_stdin_to_end() {
  std::lock_guard<std::mutex> hold(stdin_lock());
  std::array<char, STDIN_READ_CHUNK> buffer;
  while (read_stdin(buffer) > 0) {
  }
}

}  // namespace

void stdin_watch() {
  discard_stdin_to_end();
  // Ending the trees takes a while (taskkill.exe on Windows): no record may start meanwhile.
  end_output();
  stop_all_children();
  exit_process(1);
}

void start_stdin_watch() {
  try {
    std::thread(stdin_watch).detach();
  } catch (const std::exception& error) {
    fail_fast(std::string("cannot create the stdin-watch thread: ") + error.what());
  }
}

}  // namespace tw

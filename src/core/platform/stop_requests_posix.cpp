#include <signal.h>

#include <thread>
#include <utility>

#include "core/platform/stop_requests.h"

namespace tw {

namespace {

// Whether the signal was ignored when the program started (nohup, a shell's background job or
// "trap '' INT"): whoever started it asked for that, and it stays so.
bool ignored_from_start(int signal) {
  struct sigaction current {};
  return ::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

void watch_stop_requests(std::function<void()> on_stop) {
  sigset_t signals;
  ::sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    if (!ignored_from_start(signal)) ::sigaddset(&signals, signal);
  }
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals, on_stop = std::move(on_stop)] {
    int taken = 0;
    while (::sigwait(&signals, &taken) != 0) {
    }
    on_stop();
  }).detach();
}

}  // namespace tw

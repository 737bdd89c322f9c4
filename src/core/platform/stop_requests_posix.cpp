#include <signal.h>

#include <thread>
#include <utility>

#include "core/platform/stop_requests.h"

namespace tw {

void watch_stop_requests(std::function<void()> on_stop) {
  sigset_t signals;
  ::sigemptyset(&signals);
  ::sigaddset(&signals, SIGINT);
  ::sigaddset(&signals, SIGTERM);
  ::sigaddset(&signals, SIGHUP);
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals, on_stop = std::move(on_stop)] {
    int taken = 0;
    while (::sigwait(&signals, &taken) != 0) {
    }
    on_stop();
  }).detach();
}

}  // namespace tw

#include <windows.h>

#include <atomic>
#include <utility>

#include "core/platform/stop_requests.h"

namespace tw {
namespace {

std::function<void()> stop_action;
std::atomic<bool> stop_taken = false;

// Runs on a thread the system starts for the event. Returning from a close event ends the
// process, so the action runs here to its end (it ends the process itself).
BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  if (!stop_taken.exchange(true)) stop_action();
  for (;;) Sleep(INFINITE);  // a second request waits for the first to end the process
}

}  // namespace

void watch_stop_requests(std::function<void()> on_stop) {
  stop_action = std::move(on_stop);
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

}  // namespace tw

#include <chrono>

#include "core/platform/process.h"

namespace tw {

std::timed_mutex& process_start_lock() {
  static std::timed_mutex* lock = new std::timed_mutex;  // never destroyed: held at exit
  return *lock;
}

void stop_process_starts() {
  // Never released: the process is about to end.
  (void)process_start_lock().try_lock_for(std::chrono::seconds(2));
}

}  // namespace tw

#include <chrono>
#include <utility>

#include "core/platform/process.h"

namespace tw {

// Ownership of pipes and processes, the same on both platforms.

PipeReader::~PipeReader() { close(); }

PipeReader::PipeReader(PipeReader&& other) noexcept
    : handle_(std::exchange(other.handle_, NO_HANDLE)) {}

PipeReader& PipeReader::operator=(PipeReader&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, NO_HANDLE);
  }
  return *this;
}

ChildProcess::~ChildProcess() { release(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : id_(std::exchange(other.id_, 0)),
      handle_(std::exchange(other.handle_, -1)),
      waited_(other.waited_),
      exit_code_(other.exit_code_),
      output_(std::move(other.output_)),
      error_output_(std::move(other.error_output_)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    release();
    id_ = std::exchange(other.id_, 0);
    handle_ = std::exchange(other.handle_, -1);
    waited_ = other.waited_;
    exit_code_ = other.exit_code_;
    output_ = std::move(other.output_);
    error_output_ = std::move(other.error_output_);
  }
  return *this;
}

std::timed_mutex& process_start_lock() {
  static std::timed_mutex* lock = new std::timed_mutex;  // never destroyed: held at exit
  return *lock;
}

void stop_process_starts() {
  // Never released: the process is about to end.
  (void)process_start_lock().try_lock_for(std::chrono::seconds(2));
}

}  // namespace tw

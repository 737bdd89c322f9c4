#pragma once
// An exclusive lock on a file, shared with other processes (flock on POSIX, LockFileEx on
// Windows): held from acquire to the object's end, released by the system if the process dies.
// Two holders in one process must not wait on the same file: the lock is the processes'.

#include <cstdint>
#include <string_view>

#include "core/error.h"

namespace tw {

class FileLock {
 public:
  // Opens the file at `path` (UTF-8), made empty if missing, and waits until the lock is ours;
  // the error is the OS error.
  static Result<FileLock> acquire(std::string_view path);

  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&&) = delete;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();  // releases the lock

 private:
  explicit FileLock(std::intptr_t handle) : handle_(handle) {}

  std::intptr_t handle_;  // a file descriptor, or a HANDLE on Windows; -1 once moved from
};

}  // namespace tw

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <string>
#include <utility>

#include "core/platform/file_lock.h"
#include "core/platform/os_error.h"

namespace tw {

Result<FileLock> FileLock::acquire(std::string_view path) {
  const int fd = ::open(std::string(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return fail(last_os_error());
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    Error error = last_os_error();
    ::close(fd);
    return fail(std::move(error));
  }
  return FileLock(fd);
}

FileLock::FileLock(FileLock&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

FileLock::~FileLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // the close releases the lock
}

}  // namespace tw

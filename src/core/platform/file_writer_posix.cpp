#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <string>
#include <utility>

#include "core/platform/file_writer.h"
#include "core/platform/os_error.h"

namespace tw {

Result<FileWriter> FileWriter::create(std::string_view path) {
  const int fd = ::open(std::string(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return fail(last_os_error());
  return FileWriter(fd);
}

FileWriter::FileWriter(FileWriter&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

FileWriter::~FileWriter() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

Status FileWriter::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return fail(last_os_error());
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return {};
}

Status FileWriter::flush_to_disk() {
  if (::fsync(static_cast<int>(handle_)) != 0) return fail(last_os_error());
  return {};
}

Status FileWriter::close() {
  const int fd = static_cast<int>(std::exchange(handle_, -1));
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) return fail(last_os_error());
  return {};
}

void flush_folder(std::string_view path) {
  const int fd = ::open(std::string(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace tw

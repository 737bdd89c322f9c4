#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <string>
#include <utility>

#include "core/platform/file_reader.h"
#include "core/platform/os_error.h"

namespace tw {

Result<FileReader> FileReader::open(std::string_view path) {
  const int fd = ::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(last_os_error());
  return FileReader(fd);
}

FileReader::FileReader(FileReader&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

FileReader::~FileReader() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

Result<std::size_t> FileReader::read_some(std::span<char> buffer) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buffer.data(), buffer.size());
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return fail(last_os_error());
  }
}

}  // namespace tw

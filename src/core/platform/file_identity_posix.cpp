#include <sys/stat.h>
#include <unistd.h>
#include <string>

#include "core/platform/file_identity.h"

namespace tw {
namespace {

// Writing a folder fails anyway, and a character device holds no content to lose.
std::optional<FileIdentity> identity_of(const struct stat& status) {
  if (S_ISDIR(status.st_mode) || S_ISCHR(status.st_mode)) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino)};
}

std::optional<FileIdentity> descriptor_file(int descriptor) {
  struct stat status {};
  if (fstat(descriptor, &status) != 0) return std::nullopt;
  return identity_of(status);
}

}  // namespace

std::optional<FileIdentity> file_identity(std::string_view path) {
  struct stat status {};
  if (stat(std::string(path).c_str(), &status) != 0) return std::nullopt;
  return identity_of(status);
}

std::optional<FileIdentity> stdin_identity() { return descriptor_file(STDIN_FILENO); }

std::optional<FileIdentity> stdout_identity() { return descriptor_file(STDOUT_FILENO); }

std::optional<FileIdentity> stderr_identity() { return descriptor_file(STDERR_FILENO); }

}  // namespace tw

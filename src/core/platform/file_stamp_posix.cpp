#include <sys/stat.h>

#include <string>

#include "core/platform/file_stamp.h"

namespace tw {

std::optional<FileStamp> file_stamp(std::string_view path) {
  struct stat status {};
  if (::stat(std::string(path).c_str(), &status) != 0) return std::nullopt;
  return FileStamp{static_cast<std::uint64_t>(status.st_size),
                   static_cast<std::int64_t>(status.st_mtim.tv_sec),
                   static_cast<std::uint32_t>(status.st_mtim.tv_nsec)};
}

}  // namespace tw

#pragma once
// A file's size and modification time, links followed: what tells a changed file from the same.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tw {

struct FileStamp {
  std::uint64_t size = 0;         // bytes
  std::int64_t seconds = 0;       // modification time: whole seconds since 1970 (UTC)...
  std::uint32_t nanoseconds = 0;  // ...and the nanoseconds after them (100 ns steps on Windows)
};

// Nothing when `path` (UTF-8) cannot be read.
std::optional<FileStamp> file_stamp(std::string_view path);

}  // namespace tw

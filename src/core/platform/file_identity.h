#pragma once
// Whether two names reach the same regular file: the file's volume and its number there, so a
// second name, a link or a redirection is found out where comparing names would not.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tw {

struct FileIdentity {
  std::uint64_t volume = 0;  // st_dev, or the volume serial number on Windows
  std::uint64_t file = 0;    // st_ino, or the file index on Windows

  bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file at `path` (UTF-8, links followed); nothing when there is
// none, it cannot be read, or it is something else (a folder, a device, a pipe).
std::optional<FileIdentity> file_identity(std::string_view path);

// The identity of the regular file that standard input reads from, or that standard output or
// standard error writes to, if it is one.
std::optional<FileIdentity> stdin_identity();
std::optional<FileIdentity> stdout_identity();
std::optional<FileIdentity> stderr_identity();

}  // namespace tw

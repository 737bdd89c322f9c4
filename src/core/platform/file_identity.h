#pragma once
// Whether two names reach the same file: the file's volume and its number there, so a second
// name, a link or a redirection is found out where comparing names would not. Only files whose
// content a writer replaces have one: a terminal or the null device loses nothing when written.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tw {

struct FileIdentity {
  std::uint64_t volume = 0;  // st_dev, or the volume serial number on Windows
  std::uint64_t file = 0;    // st_ino, or the file index on Windows

  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path` (UTF-8, links followed): a regular file, and on POSIX a
// named pipe, a socket or a block device too. Nothing when there is no file, it cannot be read,
// or it is a folder or a character device (a terminal, /dev/null); on Windows anything but a
// disk file. Only the file's status is read: a named pipe is never opened, so this never waits.
std::optional<FileIdentity> file_identity(std::string_view path);

// The identity of the file that standard input reads from, or that standard output or standard
// error writes to, as file_identity tells it (a pipe between two processes included on POSIX).
std::optional<FileIdentity> stdin_identity();
std::optional<FileIdentity> stdout_identity();
std::optional<FileIdentity> stderr_identity();

}  // namespace tw

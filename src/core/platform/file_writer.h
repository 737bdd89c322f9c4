#pragma once
// A new file written from its start, each write handed to the system at once, so that a full
// disk or the file-size limit is the write's error (as the OS reports it), not a later surprise.

#include <cstdint>
#include <string_view>

#include "core/error.h"

namespace tw {

class FileWriter {
 public:
  // Creates the file at `path` (UTF-8), or empties the one there; the error is the OS error.
  static Result<FileWriter> create(std::string_view path);

  FileWriter(FileWriter&& other) noexcept;
  FileWriter& operator=(FileWriter&&) = delete;
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;
  ~FileWriter();

  // Writes all of `bytes` (interrupted and partial writes continued), or the OS error.
  Status write(std::string_view bytes);

  // Hands what was written to the disk itself (fsync, FlushFileBuffers), so that a name given
  // to the file afterwards never stands for an empty file after a power loss; the OS error.
  Status flush_to_disk();

  // Closes the file; the error of a close that fails (a delayed write error).
  Status close();

 private:
  explicit FileWriter(std::intptr_t handle) : handle_(handle) {}

  std::intptr_t handle_;  // a file descriptor, or a HANDLE on Windows; -1 when closed
};

// Makes the renames done in the folder at `path` (UTF-8) last through a power loss: an fsync of
// the folder on POSIX; nothing on Windows, whose file system journals them. An error is ignored:
// the renames are made either way.
void flush_folder(std::string_view path);

}  // namespace tw

#pragma once
// A file read from its start to its end, a buffer at a time. A read that fails is an error,
// never taken for the end of the file.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/error.h"

namespace tw {

class FileReader {
 public:
  // Opens the file at `path` (UTF-8) for reading; the error is the OS error.
  static Result<FileReader> open(std::string_view path);

  FileReader(FileReader&& other) noexcept;
  FileReader& operator=(FileReader&&) = delete;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader();

  // Fills part of `buffer` and returns the count, 0 at the end of the file, or the OS error
  // (interrupted reads are retried).
  Result<std::size_t> read_some(std::span<char> buffer);

 private:
  explicit FileReader(std::intptr_t handle) : handle_(handle) {}

  std::intptr_t handle_;  // a file descriptor, or a HANDLE on Windows; -1 when moved from
};

}  // namespace tw

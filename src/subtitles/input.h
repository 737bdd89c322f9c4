#pragma once
// The records' source, standard input or a file, read a line at a time as the bytes arrive.

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "core/error.h"
#include "core/platform/file_identity.h"

namespace tw::subtitles {

class LineReader {
 public:
  // `read_some` fills part of the buffer and returns the count (0 at the end of the input) or
  // the error that ends the reading.
  explicit LineReader(std::function<Result<std::size_t>(std::span<char>)> read_some)
      : read_some_(std::move(read_some)) {}

  // The next line without its line feed (a last line may lack one); nothing at the end; the
  // read's error when the input cannot be read further (never taken for the end).
  Result<std::optional<std::string>> next();

 private:
  std::function<Result<std::size_t>(std::span<char>)> read_some_;
  std::string buffered_;
  std::size_t line_start_ = 0;
  bool ended_ = false;
};

struct Input {
  LineReader lines;  // a read error is "cannot read NAME: TEXT"
  std::string name;  // the path as given, or "standard input"
};

// The identity of the file the input reads (standard input's when `path` is absent or "-"), as
// file_identity tells it; found without opening it, so a named pipe without a writer is no wait.
std::optional<FileIdentity> input_identity(const std::optional<std::string>& path);

// Standard input when `path` is absent or "-", otherwise the file.
Result<Input> open_input(const std::optional<std::string>& path);

}  // namespace tw::subtitles

#pragma once
// The records' source, standard input or a file, read a line at a time as the bytes arrive.

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "core/error.h"

namespace tw::subtitles {

class LineReader {
 public:
  // `read_some` fills part of the buffer and returns the count; 0 means the end of the input.
  explicit LineReader(std::function<std::size_t(std::span<char>)> read_some)
      : read_some_(std::move(read_some)) {}

  // The next line without its line feed (a last line may lack one); nothing at the end.
  std::optional<std::string> next();

 private:
  std::function<std::size_t(std::span<char>)> read_some_;
  std::string buffered_;
  std::size_t line_start_ = 0;
  bool ended_ = false;
};

// Standard input when `path` is absent or "-", otherwise the file.
Result<LineReader> open_input(const std::optional<std::string>& path);

}  // namespace tw::subtitles

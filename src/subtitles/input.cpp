#include "subtitles/input.h"

#include <array>
#include <memory>
#include <utility>

#include "core/platform/file_reader.h"
#include "core/platform/paths.h"
#include "core/platform/std_streams.h"

namespace tw::subtitles {
namespace {

constexpr std::size_t READ_CHUNK_BYTES = 64 * 1024;
constexpr const char* STANDARD_INPUT = "standard input";

}  // namespace

Result<std::optional<std::string>> LineReader::next() {
  for (;;) {
    const std::size_t line_end = buffered_.find('\n', line_start_);
    if (line_end != std::string::npos) {
      std::string line = buffered_.substr(line_start_, line_end - line_start_);
      line_start_ = line_end + 1;
      return line;
    }
    // Only the unfinished line stays buffered.
    buffered_.erase(0, line_start_);
    line_start_ = 0;
    if (ended_) {
      if (buffered_.empty()) return std::nullopt;
      return std::exchange(buffered_, {});
    }
    std::array<char, READ_CHUNK_BYTES> chunk;
    Result<std::size_t> got = read_some_(chunk);
    if (!got) {
      ended_ = true;
      buffered_.clear();
      return fail(std::move(got.error()));
    }
    if (*got == 0) ended_ = true;
    buffered_.append(chunk.data(), *got);
  }
}

std::optional<FileIdentity> input_identity(const std::optional<std::string>& path) {
  if (!path || *path == "-") return stdin_identity();
  return file_identity(*path);
}

Result<Input> open_input(const std::optional<std::string>& path) {
  if (!path || *path == "-") {
    LineReader lines([](std::span<char> buffer) -> Result<std::size_t> {
      Result<std::size_t> got = read_stdin_or_error(buffer);
      if (!got) return fail(std::string("cannot read ") + STANDARD_INPUT, std::move(got.error()));
      return got;
    });
    return Input{std::move(lines), STANDARD_INPUT};
  }
  // A directory opens for reading on some systems and then fails at the first read.
  if (is_existing_directory(utf8_path(*path))) {
    return fail("cannot read " + *path, Error("it is a folder"));
  }
  Result<FileReader> opened = FileReader::open(*path);
  if (!opened) return fail("cannot read " + *path, std::move(opened.error()));
  auto file = std::make_shared<FileReader>(std::move(*opened));
  LineReader lines([file, name = *path](std::span<char> buffer) -> Result<std::size_t> {
    Result<std::size_t> got = file->read_some(buffer);
    if (!got) return fail("cannot read " + name, std::move(got.error()));
    return got;
  });
  return Input{std::move(lines), *path};
}

}  // namespace tw::subtitles

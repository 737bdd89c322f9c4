#include "subtitles/input.h"

#include <array>
#include <cerrno>
#include <fstream>
#include <memory>
#include <system_error>
#include <utility>

#include "core/platform/paths.h"
#include "core/platform/std_streams.h"

namespace tw::subtitles {
namespace {

constexpr std::size_t READ_CHUNK_BYTES = 64 * 1024;

}  // namespace

std::optional<std::string> LineReader::next() {
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
    const std::size_t got = read_some_(chunk);
    if (got == 0) ended_ = true;
    buffered_.append(chunk.data(), got);
  }
}

Result<LineReader> open_input(const std::optional<std::string>& path) {
  if (!path || *path == "-") return LineReader(read_stdin);
  // A directory opens as a stream on some systems and then reads as empty.
  if (is_existing_directory(utf8_path(*path))) {
    return fail("cannot read " + *path, Error("it is a folder"));
  }
  auto file = std::make_shared<std::ifstream>(utf8_path(*path), std::ios::binary);
  if (!*file) {
    return fail("cannot read " + *path, Error(std::generic_category().message(errno)));
  }
  return LineReader([file](std::span<char> buffer) -> std::size_t {
    file->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    return static_cast<std::size_t>(file->gcount());
  });
}

}  // namespace tw::subtitles

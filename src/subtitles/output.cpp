#include "subtitles/output.h"

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "core/platform/paths.h"
#include "core/platform/std_streams.h"

namespace tw::subtitles {
namespace {

Error errno_error() { return Error(std::generic_category().message(errno)); }

}  // namespace

Result<Output> Output::open(const std::optional<std::string>& path) {
  Output output;
  if (!path) return output;
  output.stream_ = Stream::file;
  output.path_ = *path;
  // Appending creates a missing file and keeps an existing one whole until empty(); once that
  // has emptied it, every write lands at its start.
  output.file_ =
      std::make_unique<std::ofstream>(utf8_path(*path), std::ios::binary | std::ios::app);
  if (!*output.file_) return fail(output.failure(errno_error()));
  return output;
}

Output Output::standard_error() {
  Output output;
  output.stream_ = Stream::standard_error;
  return output;
}

Status Output::empty() {
  if (stream_ != Stream::file) return {};
  std::error_code error;
  const std::filesystem::path path = utf8_path(path_);
  if (!std::filesystem::is_regular_file(path, error)) return {};
  std::filesystem::resize_file(path, 0, error);
  if (error) return fail(failure(Error(error.message())));
  return {};
}

Status Output::write(std::string_view text) {
  if (text.empty()) return {};
  Status written;
  if (stream_ == Stream::standard_output) {
    std::lock_guard<std::recursive_timed_mutex> hold(stdout_lock());
    written = write_stdout_or_error(text);
  } else if (stream_ == Stream::standard_error) {
    written = write_stderr_or_error(text);
  } else {
    file_->write(text.data(), static_cast<std::streamsize>(text.size()));
    file_->flush();
    if (!*file_) written = fail(errno_error());
  }
  if (!written) return fail(failure(std::move(written.error())));
  return {};
}

Error Output::failure(Error cause) const {
  const std::string name = stream_ == Stream::file              ? path_
                           : stream_ == Stream::standard_output ? "standard output"
                                                                : "standard error";
  return Error("cannot write " + name, std::move(cause));
}

}  // namespace tw::subtitles

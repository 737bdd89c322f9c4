#include "subtitles/output.h"

#include <cerrno>
#include <mutex>
#include <system_error>

#include "core/platform/paths.h"
#include "core/platform/std_streams.h"

namespace tw::subtitles {
namespace {

Error file_error(const std::string& path) {
  return Error("cannot write " + path, Error(std::generic_category().message(errno)));
}

}  // namespace

Result<Output> Output::open(const std::optional<std::string>& path) {
  Output output;
  if (!path) return output;
  output.path_ = *path;
  output.file_ =
      std::make_unique<std::ofstream>(utf8_path(*path), std::ios::binary | std::ios::trunc);
  if (!*output.file_) return fail(file_error(*path));
  return output;
}

Status Output::write(std::string_view text) {
  if (text.empty()) return {};
  if (!file_) {
    std::lock_guard<std::recursive_timed_mutex> hold(stdout_lock());
    return write_stdout(text);
  }
  file_->write(text.data(), static_cast<std::streamsize>(text.size()));
  file_->flush();
  if (!*file_) return fail(file_error(*path_));
  return {};
}

}  // namespace tw::subtitles

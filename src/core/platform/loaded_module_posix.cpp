#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string_view>

#include "core/platform/loaded_module.h"

namespace tw {
namespace {

constexpr std::string_view ONNX_RUNTIME_FILE = "libonnxruntime.so";

bool is_onnx_runtime(std::string_view path) {
  std::size_t slash = path.rfind('/');
  std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (!file.starts_with(ONNX_RUNTIME_FILE)) return false;
  file.remove_prefix(ONNX_RUNTIME_FILE.size());
  return file.empty() || file.front() == '.';
}

int visit_module(dl_phdr_info* info, std::size_t, void* found) {
  if (info->dlpi_name == nullptr || !is_onnx_runtime(info->dlpi_name)) return 0;
  *static_cast<std::optional<std::string>*>(found) = std::string(info->dlpi_name);
  return 1;  // the first match ends the walk
}

// The folder part with its links resolved (a relative LD_LIBRARY_PATH entry, a linked
// folder), so that it compares with the program's folder as the loader sees it.
std::string with_real_folder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  char real[PATH_MAX];
  if (::realpath(folder.empty() ? "/" : folder.c_str(), real) == nullptr) return path;
  const std::string resolved = real == std::string_view("/") ? "" : real;
  return resolved + (slash == std::string::npos ? "/" + path : path.substr(slash));
}

}  // namespace

std::optional<std::string> onnx_runtime_module_path() {
  std::optional<std::string> found;
  dl_iterate_phdr(visit_module, &found);
  if (found) found = with_real_folder(*found);
  return found;
}

std::string program_path() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
  return length > 0 && length < static_cast<ssize_t>(sizeof path) ? std::string(path, length)
                                                                  : std::string();
}

}  // namespace tw

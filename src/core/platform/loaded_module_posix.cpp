#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string_view>

#include "core/platform/loaded_module.h"

namespace tw {
namespace {

constexpr std::string_view ONNX_RUNTIME_FILE = "libonnxruntime.so";
constexpr std::string_view SPEECH_LIBRARY_FILE = "libsherpa-onnx-c-api.so";

// The module wanted and, once found, its path.
struct ModuleSearch {
  std::string_view file;
  std::optional<std::string> found;
};

bool has_file_name(std::string_view path, std::string_view wanted) {
  std::size_t slash = path.rfind('/');
  std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (!file.starts_with(wanted)) return false;
  file.remove_prefix(wanted.size());
  return file.empty() || file.front() == '.';
}

int visit_module(dl_phdr_info* info, std::size_t, void* data) {
  auto* search = static_cast<ModuleSearch*>(data);
  if (info->dlpi_name == nullptr || !has_file_name(info->dlpi_name, search->file)) return 0;
  search->found = std::string(info->dlpi_name);
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

std::optional<std::string> loaded_module_path(std::string_view file) {
  ModuleSearch search{file, std::nullopt};
  dl_iterate_phdr(visit_module, &search);
  if (search.found) search.found = with_real_folder(*search.found);
  return search.found;
}

}  // namespace

std::optional<std::string> onnx_runtime_module_path() {
  return loaded_module_path(ONNX_RUNTIME_FILE);
}

std::optional<std::string> speech_library_module_path() {
  return loaded_module_path(SPEECH_LIBRARY_FILE);
}

std::string program_path() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
  return length > 0 && length < static_cast<ssize_t>(sizeof path) ? std::string(path, length)
                                                                  : std::string();
}

}  // namespace tw

#include <link.h>

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

}  // namespace

std::optional<std::string> onnx_runtime_module_path() {
  std::optional<std::string> found;
  dl_iterate_phdr(visit_module, &found);
  return found;
}

}  // namespace tw

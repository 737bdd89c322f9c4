#include "worker/onnx_runtime_origin.h"

#include "core/platform/environment.h"
#include "core/platform/loaded_module.h"
#include "core/platform/unicode_lower.h"

namespace tw {
namespace {

constexpr const char* DEFAULT_WINDOWS_DIRECTORY = "C:\\Windows";

}  // namespace

Status check_onnx_runtime_origin() {
  return check_onnx_runtime_path(onnx_runtime_module_path(), environment_variable("SystemRoot"));
}

Status check_onnx_runtime_path(const std::optional<std::string>& module_path,
                               const std::optional<std::string>& system_root) {
  if (!module_path) return {};
  std::string module = unicode_lower(*module_path);
  std::string windows = unicode_lower(system_root.value_or(DEFAULT_WINDOWS_DIRECTORY));
  if (!module.starts_with(windows)) return {};
  return fail("Windows' own ONNX Runtime (" + module + ") was loaded instead of the GPU add-on's");
}

}  // namespace tw

#include <windows.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "core/platform/loaded_module.h"
#include "core/text/utf16.h"

namespace tw {
namespace {

constexpr DWORD MODULE_PATH_UNITS = 32768;  // UTF-16 units, the longest path Windows has

std::string module_file_path(HMODULE module) {
  std::vector<wchar_t> path(MODULE_PATH_UNITS, L'\0');
  DWORD written = std::min(GetModuleFileNameW(module, path.data(), MODULE_PATH_UNITS),
                           MODULE_PATH_UNITS);  // 0 when it failed
  return utf16_to_utf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(path.data()), written));
}

std::optional<std::string> loaded_module_path(const wchar_t* file) {
  HMODULE module = GetModuleHandleW(file);
  if (module == nullptr) return std::nullopt;
  return module_file_path(module);
}

}  // namespace

std::optional<std::string> onnx_runtime_module_path() {
  return loaded_module_path(L"onnxruntime.dll");
}

std::optional<std::string> speech_library_module_path() {
  return loaded_module_path(L"sherpa-onnx-c-api.dll");
}

std::string program_path() { return module_file_path(nullptr); }

}  // namespace tw

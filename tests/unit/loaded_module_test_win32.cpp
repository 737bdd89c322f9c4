#include "core/platform/loaded_module.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "core/platform/paths.h"
#include "core/platform/unicode_lower.h"
#include "core/text/utf16.h"

namespace tw {
namespace {

TEST(OnnxRuntimeModulePath, IsThePathOfTheLoadedRuntime) {
  // The build puts onnxruntime.dll beside the test, where the loader looks first.
  HMODULE runtime = LoadLibraryW(L"onnxruntime.dll");
  ASSERT_NE(runtime, nullptr) << GetLastError();

  std::optional<std::string> path = onnx_runtime_module_path();
  ASSERT_TRUE(path.has_value());
  wchar_t exe[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
  std::string expected = path_utf8(std::filesystem::path(exe).parent_path() / L"onnxruntime.dll");
  // The case of the directory follows how the program was started.
  EXPECT_EQ(unicode_lower(*path), unicode_lower(expected));

  std::u16string wide = utf8_to_utf16(*path);
  EXPECT_EQ(GetModuleHandleW(reinterpret_cast<const wchar_t*>(wide.c_str())), runtime);
  FreeLibrary(runtime);
}

}  // namespace
}  // namespace tw

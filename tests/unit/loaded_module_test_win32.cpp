#include "core/platform/loaded_module.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "core/platform/paths.h"
#include "core/platform/unicode_lower.h"
#include "core/text/utf16.h"

namespace tw {
namespace {

TEST(LoadedModulePath, IsThePathOfTheLoadedRuntimeAndSpeechLibrary) {
  const std::pair<const wchar_t*, std::optional<std::string> (*)()> modules[] = {
      {L"onnxruntime.dll", onnx_runtime_module_path},
      {L"sherpa-onnx-c-api.dll", speech_library_module_path},
  };
  for (const auto& [file, module_path] : modules) {
    // The build puts the DLLs beside the test, where the loader looks first.
    HMODULE module = LoadLibraryW(file);
    ASSERT_NE(module, nullptr) << GetLastError();

    std::optional<std::string> path = module_path();
    ASSERT_TRUE(path.has_value());
    wchar_t exe[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    std::string expected = path_utf8(std::filesystem::path(exe).parent_path() / file);
    // The case of the directory follows how the program was started.
    EXPECT_EQ(unicode_lower(*path), unicode_lower(expected));

    std::u16string wide = utf8_to_utf16(*path);
    EXPECT_EQ(GetModuleHandleW(reinterpret_cast<const wchar_t*>(wide.c_str())), module);
    FreeLibrary(module);
  }
}

}  // namespace
}  // namespace tw

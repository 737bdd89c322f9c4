#include "core/platform/loaded_module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace tw {
namespace {

TEST(LoadedModulePath, IsThePathOfTheLoadedRuntimeAndSpeechLibrary) {
  const std::pair<const char*, std::optional<std::string> (*)()> modules[] = {
      {"libonnxruntime.so", onnx_runtime_module_path},
      {"libsherpa-onnx-c-api.so", speech_library_module_path},
  };
  for (const auto& [file, module_path] : modules) {
    // Linked in already (unit_tests uses the speech library); loaded here too, so the test
    // stands alone.
    void* module = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    std::optional<std::string> path = module_path();
    ASSERT_TRUE(path.has_value()) << file;
    EXPECT_TRUE(path->ends_with(std::string("/") + file)) << *path;
    // The module at that path is the one in the process: RTLD_NOLOAD finds it without loading.
    void* same = dlopen(path->c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(same, module) << *path;
    if (same != nullptr) dlclose(same);
    dlclose(module);
  }
}

}  // namespace
}  // namespace tw

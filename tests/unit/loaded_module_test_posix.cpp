#include "core/platform/loaded_module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(OnnxRuntimeModulePath, IsThePathOfTheLoadedRuntime) {
  // The speech library brings the runtime in; load it here too so the test stands alone.
  void* runtime = dlopen("libonnxruntime.so", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(runtime, nullptr) << dlerror();

  std::optional<std::string> path = onnx_runtime_module_path();
  ASSERT_TRUE(path.has_value());
  EXPECT_TRUE(path->ends_with("/libonnxruntime.so")) << *path;
  // The module at that path is the one in the process: RTLD_NOLOAD finds it without loading.
  void* same = dlopen(path->c_str(), RTLD_NOW | RTLD_NOLOAD);
  EXPECT_EQ(same, runtime) << *path;
  if (same != nullptr) dlclose(same);
  dlclose(runtime);
}

}  // namespace
}  // namespace tw

#include "worker/onnx_runtime_origin.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tw {
namespace {

constexpr const char* SYSTEM32_RUNTIME = "C:\\Windows\\System32\\onnxruntime.dll";
constexpr const char* ADD_ON_RUNTIME = "C:\\Program Files\\GPU Add-on\\onnxruntime.dll";

std::string refusal(const std::optional<std::string>& module,
                    const std::optional<std::string>& root) {
  Status status = check_onnx_runtime_path(module, root);
  if (status) return "passes";
  EXPECT_EQ(status.error().cause(), nullptr);
  return status.error().message();
}

TEST(OnnxRuntimeOrigin, NoRuntimeLoadedPasses) {
  EXPECT_EQ(refusal(std::nullopt, "C:\\Windows"), "passes");
  EXPECT_EQ(refusal(std::nullopt, ""), "passes");
}

TEST(OnnxRuntimeOrigin, AddOnRuntimePasses) {
  EXPECT_EQ(refusal(ADD_ON_RUNTIME, "C:\\Windows"), "passes");
  EXPECT_EQ(refusal(ADD_ON_RUNTIME, std::nullopt), "passes");
}

TEST(OnnxRuntimeOrigin, WindowsOwnRuntimeFailsAfterLowerCasingBoth) {
  EXPECT_EQ(refusal(SYSTEM32_RUNTIME, "C:\\WINDOWS"),
            "Windows' own ONNX Runtime (c:\\windows\\system32\\onnxruntime.dll) was loaded "
            "instead of the GPU add-on's");
  EXPECT_EQ(refusal("C:\\WINDOWS\\SYSTEM32\\ONNXRUNTIME.DLL", "c:\\windows"),
            "Windows' own ONNX Runtime (c:\\windows\\system32\\onnxruntime.dll) was loaded "
            "instead of the GPU add-on's");
}

TEST(OnnxRuntimeOrigin, UnsetSystemRootMeansCWindows) {
  EXPECT_NE(refusal(SYSTEM32_RUNTIME, std::nullopt), "passes");
  EXPECT_EQ(refusal("D:\\Windows\\System32\\onnxruntime.dll", std::nullopt), "passes");
}

TEST(OnnxRuntimeOrigin, PlainTextPrefixWithoutPathRules) {
  EXPECT_NE(refusal("C:\\WindowsApps\\onnxruntime.dll", "C:\\Windows"), "passes");
  EXPECT_EQ(refusal("C:/Windows/System32/onnxruntime.dll", "C:\\Windows"), "passes");
  EXPECT_EQ(refusal("\\\\?\\C:\\Windows\\System32\\onnxruntime.dll", "C:\\Windows"), "passes");
  EXPECT_EQ(refusal("C:\\Win", "C:\\Windows"), "passes");  // shorter than the directory
}

TEST(OnnxRuntimeOrigin, EmptySystemRootRefusesAnyRuntime) {
  EXPECT_EQ(refusal(ADD_ON_RUNTIME, ""),
            "Windows' own ONNX Runtime (c:\\program files\\gpu add-on\\onnxruntime.dll) was "
            "loaded instead of the GPU add-on's");
}

TEST(OnnxRuntimeOrigin, UnreadableModulePathPassesUnlessTheDirectoryIsEmpty) {
  EXPECT_EQ(refusal("", "C:\\Windows"), "passes");
  EXPECT_EQ(refusal("", ""), "Windows' own ONNX Runtime () was loaded instead of the GPU add-on's");
}

TEST(OnnxRuntimeOrigin, FullUnicodeLowerCasingOnBothSides) {
  EXPECT_EQ(refusal("C:\\ÅRBOK\\Σ\\onnxruntime.dll", "c:\\årbok"),
            "Windows' own ONNX Runtime (c:\\årbok\\σ\\onnxruntime.dll) was loaded instead of the "
            "GPU add-on's");
  // U+0130 lowers to two code points: "i̇" is not a prefix of "i".
  EXPECT_EQ(refusal("C:\\IX\\onnxruntime.dll", "C:\\\u0130"), "passes");
  EXPECT_NE(refusal("C:\\\u0130X\\onnxruntime.dll", "c:\\i\u0307"), "passes");
}

TEST(OnnxRuntimeOrigin, LinuxModulePassesUnlessSystemRootIsAPrefix) {
  const std::string module = "/opt/Worker/libonnxruntime.so";
  EXPECT_EQ(refusal(module, std::nullopt), "passes");
  EXPECT_EQ(refusal(module, "/OPT/worker"),
            "Windows' own ONNX Runtime (/opt/worker/libonnxruntime.so) was loaded instead of the "
            "GPU add-on's");
}

}  // namespace
}  // namespace tw

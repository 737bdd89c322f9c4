#include "core/asr/onnx_runtime_origin.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tw {
namespace {

constexpr const char* WORKER = "C:\\Program Files\\Tw\\transcribe-worker.exe";
constexpr const char* BESIDE_THE_WORKER = "C:\\Program Files\\Tw\\onnxruntime.dll";
constexpr const char* WINDOWS = "C:\\Windows";

std::string refusal(const std::optional<std::string>& module, std::string_view program = WORKER,
                    const std::optional<std::string>& windows = WINDOWS) {
  Status status = check_onnx_runtime_path(module, program, windows);
  if (status) return "passes";
  EXPECT_EQ(status.error().cause(), nullptr);
  return status.error().message();
}

TEST(OnnxRuntimeOrigin, NoRuntimeLoadedPasses) {
  EXPECT_EQ(refusal(std::nullopt), "passes");
  EXPECT_EQ(refusal(std::nullopt, WORKER, std::nullopt), "passes");
}

TEST(OnnxRuntimeOrigin, TheRuntimeBesideTheWorkerPassesWhateverTheCase) {
  EXPECT_EQ(refusal(BESIDE_THE_WORKER), "passes");
  EXPECT_EQ(refusal("C:\\PROGRAM FILES\\TW\\onnxruntime.dll"), "passes");
  EXPECT_EQ(refusal("c:/program files/tw/onnxruntime.dll"), "passes");  // either separator
  EXPECT_EQ(refusal("C:\\ÅRBOK\\onnxruntime.dll", "c:\\årbok\\transcribe-worker.exe"), "passes");
  // A program started by its \\?\ path may see it on its own path only.
  EXPECT_EQ(refusal(BESIDE_THE_WORKER, "\\\\?\\C:\\Program Files\\Tw\\w.exe"), "passes");
  EXPECT_EQ(refusal("\\\\s\\share\\onnxruntime.dll", "\\\\?\\UNC\\s\\share\\w.exe"), "passes");
  // Inside the Windows directory too, when the worker lives there.
  EXPECT_EQ(refusal("C:\\Windows\\Tw\\onnxruntime.dll", "C:\\Windows\\Tw\\w.exe"), "passes");
}

TEST(OnnxRuntimeOrigin, WindowsOwnRuntimeFailsForEveryProvider) {
  EXPECT_EQ(refusal("C:\\WINDOWS\\System32\\onnxruntime.dll"),
            "Windows' own ONNX Runtime (C:\\WINDOWS\\System32\\onnxruntime.dll) was loaded "
            "instead of the one beside the worker");
  EXPECT_EQ(refusal("C:\\Windows\\SysWOW64\\onnxruntime.dll", WORKER, "C:\\Windows\\"),
            "Windows' own ONNX Runtime (C:\\Windows\\SysWOW64\\onnxruntime.dll) was loaded "
            "instead of the one beside the worker");
}

TEST(OnnxRuntimeOrigin, ARuntimeFromAnyOtherFolderFails) {
  const std::string other = " was loaded instead of the one beside the worker";
  EXPECT_EQ(refusal("C:\\Tools\\onnxruntime.dll"),
            "ONNX Runtime from another folder (C:\\Tools\\onnxruntime.dll)" + other);
  // A sub-folder of the worker's, or a folder whose name only begins like the Windows one.
  EXPECT_EQ(
      refusal("C:\\Program Files\\Tw\\gpu\\onnxruntime.dll"),
      "ONNX Runtime from another folder (C:\\Program Files\\Tw\\gpu\\onnxruntime.dll)" + other);
  EXPECT_EQ(refusal("C:\\WindowsApps\\onnxruntime.dll"),
            "ONNX Runtime from another folder (C:\\WindowsApps\\onnxruntime.dll)" + other);
  EXPECT_EQ(refusal("C:\\Windows\\System32\\onnxruntime.dll", WORKER, std::nullopt),
            "ONNX Runtime from another folder (C:\\Windows\\System32\\onnxruntime.dll)" + other);
}

TEST(OnnxRuntimeOrigin, UnreadablePathsPass) {
  EXPECT_EQ(refusal(""), "passes");
  EXPECT_EQ(refusal(BESIDE_THE_WORKER, ""), "passes");
}

TEST(OnnxRuntimeOrigin, LinuxRuntimeBesideTheWorkerPasses) {
  EXPECT_EQ(refusal("/opt/tw/libonnxruntime.so", "/opt/tw/transcribe-worker", std::nullopt),
            "passes");
  EXPECT_EQ(refusal("/usr/lib/libonnxruntime.so.1", "/opt/tw/transcribe-worker", std::nullopt),
            "ONNX Runtime from another folder (/usr/lib/libonnxruntime.so.1) was loaded instead "
            "of the one beside the worker");
}

TEST(SpeechLibraryOrigin, OnlyTheLibraryBesideTheWorkerPasses) {
  const std::string loaded = "the speech library (";
  const std::string other = ") was loaded instead of the one beside the worker";
  const struct {
    std::optional<std::string> module;
    std::string program;
    std::string result;
  } cases[] = {
      {std::nullopt, WORKER, "passes"},
      {"C:\\PROGRAM FILES\\TW\\sherpa-onnx-c-api.dll", WORKER, "passes"},
      {"", WORKER, "passes"},
      {"C:\\Tools\\sherpa-onnx-c-api.dll", "", "passes"},
      {"/opt/tw/libsherpa-onnx-c-api.so", "/opt/tw/transcribe-worker", "passes"},
      {"C:\\Tools\\sherpa-onnx-c-api.dll", WORKER,
       loaded + "C:\\Tools\\sherpa-onnx-c-api.dll" + other},
      {"C:\\Windows\\System32\\sherpa-onnx-c-api.dll", WORKER,
       loaded + "C:\\Windows\\System32\\sherpa-onnx-c-api.dll" + other},
      {"/home/u/lib/libsherpa-onnx-c-api.so", "/opt/tw/transcribe-worker",
       loaded + "/home/u/lib/libsherpa-onnx-c-api.so" + other},
  };
  for (const auto& c : cases) {
    Status status = check_speech_library_path(c.module, c.program);
    EXPECT_EQ(status ? "passes" : status.error().message(), c.result) << c.module.value_or("none");
  }
}

}  // namespace
}  // namespace tw

#include "core/asr/recognizer.h"

#include <gtest/gtest.h>

#include "test_data.h"

namespace tw {
namespace {

using testing::model_dir;
using testing::test_data;

class RealLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test_data()) GTEST_SKIP() << "TW_TEST_DATA is not set";
  }
};

TEST_F(RealLibrary, LoadsTheToneModel) {
  Result<Recognizer> recognizer = create_recognizer(
      model_dir("tone"), false, DecodePlan{.workers = 3, .num_threads = 2, .batch = 0});
  ASSERT_TRUE(recognizer) << recognizer.error().chain();
  EXPECT_NE(recognizer->handle(), nullptr);
  EXPECT_EQ(recognizer->workers(), 3u);
  EXPECT_EQ(recognizer->batch(), 1u);  // a batch of 0 counts as 1
}

TEST_F(RealLibrary, TheCudaProviderLoadsToo) {
  // These builds have no CUDA: the library says so on standard error and runs on the CPU.
  Result<Recognizer> recognizer = create_recognizer(
      model_dir("tone-plain"), true, DecodePlan{.workers = 1, .num_threads = 2, .batch = 4});
  ASSERT_TRUE(recognizer) << recognizer.error().chain();
  EXPECT_EQ(recognizer->batch(), 4u);
}

TEST_F(RealLibrary, BadModelsFailWithTheDirectoryAsGiven) {
  // A graph that only ONNX Runtime can refuse is left to the process tests: under Windows
  // that failure ends the process.
  const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
  for (std::string dir :
       {model_dir("broken-not-onnx"), model_dir("broken-missing-metadata"),
        model_dir("broken-tokens-mismatch"), model_dir("broken-missing-files") + sep,
        model_dir("no-such-model"), std::string("")}) {
    Result<Recognizer> recognizer = create_recognizer(dir, false, DecodePlan{});
    ASSERT_FALSE(recognizer) << dir;
    EXPECT_EQ(recognizer.error().message(), "failed to load model from " + dir);
    EXPECT_EQ(recognizer.error().cause(), nullptr);
  }
}

}  // namespace
}  // namespace tw

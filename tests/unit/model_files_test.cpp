#include "core/asr/model_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/platform/paths.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

// A fresh, empty directory under the system's temporary directory, removed afterwards.
class ModelDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() / (std::string("tw-model-files-") + test->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  void TearDown() override { fs::remove_all(path_); }

  void touch(const std::string& name) { std::ofstream(path_ / name) << "x"; }
  std::string dir() const { return path_utf8(path_); }
  std::string in_dir(const std::string& name) const { return path_utf8(path_ / name); }

  fs::path path_;
};

TEST_F(ModelDirectory, PrefersInt8ThenFp16ThenFp32ThenPlain) {
  touch("encoder.onnx");
  EXPECT_EQ(find_model_file(dir(), "encoder"), in_dir("encoder.onnx"));
  touch("encoder.fp32.onnx");
  EXPECT_EQ(find_model_file(dir(), "encoder"), in_dir("encoder.fp32.onnx"));
  touch("encoder.fp16.onnx");
  EXPECT_EQ(find_model_file(dir(), "encoder"), in_dir("encoder.fp16.onnx"));
  touch("encoder.int8.onnx");
  EXPECT_EQ(find_model_file(dir(), "encoder"), in_dir("encoder.int8.onnx"));
}

TEST_F(ModelDirectory, EachNetworkIsChosenByItself) {
  for (const char* name :
       {"encoder.int8.onnx", "decoder.fp32.onnx", "decoder.onnx", "joiner.onnx", "tokens.txt"}) {
    touch(name);
  }
  const ModelFiles files = find_model_files(dir());
  EXPECT_EQ(files.encoder, in_dir("encoder.int8.onnx"));
  EXPECT_EQ(files.decoder, in_dir("decoder.fp32.onnx"));
  EXPECT_EQ(files.joiner, in_dir("joiner.onnx"));
  EXPECT_EQ(files.tokens, in_dir("tokens.txt"));
  EXPECT_EQ(files.encoder_variant, "int8");
  EXPECT_EQ(files.decoder_variant, "fp32");
  EXPECT_EQ(files.joiner_variant, "plain");
}

TEST_F(ModelDirectory, ADirectoryOfThatNameDoesNotCount) {
  fs::create_directory(path_ / "joiner.int8.onnx");
  touch("joiner.fp16.onnx");
  EXPECT_EQ(find_model_file(dir(), "joiner"), in_dir("joiner.fp16.onnx"));
}

TEST_F(ModelDirectory, LinksAreFollowed) {
  touch("real.onnx");
  std::error_code error;
  fs::create_symlink(path_ / "real.onnx", path_ / "decoder.fp16.onnx", error);
  fs::create_symlink(path_ / "missing.onnx", path_ / "decoder.int8.onnx", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  touch("decoder.onnx");
  // The dangling link counts as absent, the good one as its target.
  EXPECT_EQ(find_model_file(dir(), "decoder"), in_dir("decoder.fp16.onnx"));
}

TEST_F(ModelDirectory, NothingFoundNamesTheInt8FileAndTokensAreNotTested) {
  const ModelFiles files = find_model_files(dir());
  EXPECT_EQ(files.encoder, in_dir("encoder.int8.onnx"));
  EXPECT_EQ(files.decoder, in_dir("decoder.int8.onnx"));
  EXPECT_EQ(files.joiner, in_dir("joiner.int8.onnx"));
  EXPECT_EQ(files.tokens, in_dir("tokens.txt"));
  EXPECT_TRUE(files.encoder_variant.empty() && files.joiner_variant.empty());
  EXPECT_EQ(model_file_names("joiner"),
            (std::vector<std::string>{"joiner.int8.onnx", "joiner.fp16.onnx", "joiner.fp32.onnx",
                                      "joiner.onnx"}));
}

TEST_F(ModelDirectory, AMissingDirectoryIsLikeAnEmptyOne) {
  const std::string missing = in_dir("no-such-dir");
  EXPECT_EQ(find_model_file(missing, "joiner"),
            path_utf8(path_ / "no-such-dir" / "joiner.int8.onnx"));
}

TEST(ModelFiles, JoinsWithTheDirectoryAsWritten) {
  // No separator is doubled when the directory already ends in one; an empty directory is
  // the current one.
  const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
  EXPECT_EQ(find_model_file("no-such-model" + sep, "encoder"),
            "no-such-model" + sep + "encoder.int8.onnx");
  EXPECT_EQ(find_model_file("no-such-model", "encoder"),
            "no-such-model" + sep + "encoder.int8.onnx");
  EXPECT_EQ(find_model_file("", "encoder"), "encoder.int8.onnx");
}

}  // namespace
}  // namespace tw

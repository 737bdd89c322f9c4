#include "core/tools/tool_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/platform/paths.h"
#include "core/tools/taskkill_command.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

TEST(ParentPathText, RemovesTheLastComponentWithEitherSeparator) {
  EXPECT_EQ(parent_path_text("/usr/bin/ffmpeg"), "/usr/bin");
  EXPECT_EQ(parent_path_text("C:\\Tools\\ffmpeg.exe"), "C:\\Tools");
  EXPECT_EQ(parent_path_text("C:/Tools/ffmpeg.exe"), "C:/Tools");
  EXPECT_EQ(parent_path_text("dir\\sub/ffmpeg"), "dir\\sub");
  EXPECT_EQ(parent_path_text("tools\\\\ffmpeg"), "tools");
  EXPECT_EQ(parent_path_text("tools/ffmpeg//"), "tools");
  EXPECT_EQ(parent_path_text("\\\\server\\share\\bin\\ffmpeg.exe"), "\\\\server\\share\\bin");
  EXPECT_EQ(parent_path_text("\\\\?\\C:\\bin\\ffmpeg.exe"), "\\\\?\\C:\\bin");
}

TEST(ParentPathText, DotAndDotDotHaveAParent) {
  EXPECT_EQ(parent_path_text("tools/."), "tools");
  EXPECT_EQ(parent_path_text("tools\\.."), "tools");
  EXPECT_EQ(parent_path_text(".."), "");
}

TEST(ParentPathText, ABareNameHasAnEmptyParent) {
  EXPECT_EQ(parent_path_text("ffmpeg"), "");
  EXPECT_EQ(parent_path_text("ffmpeg.exe"), "");
}

TEST(ParentPathText, AParentThatIsARootKeepsIt) {
  EXPECT_EQ(parent_path_text("/ffmpeg"), "/");
  EXPECT_EQ(parent_path_text("C:\\ffmpeg.exe"), "C:\\");
  EXPECT_EQ(parent_path_text("C:ffmpeg.exe"), "C:");
  EXPECT_EQ(parent_path_text("\\\\server\\share\\ffmpeg.exe"), "\\\\server\\share\\");
}

TEST(ParentPathText, RootsDrivesAndSharesHaveNone) {
  for (const char* path : {"", "/", "\\", "//", "C:", "C:\\", "c:/", "\\\\server\\share",
                           "\\\\server\\share\\", "\\\\?\\C:\\", "\\\\.\\pipe"}) {
    EXPECT_EQ(parent_path_text(path), std::nullopt) << path;
  }
}

class ToolCommandInDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    dir_ = fs::temp_directory_path() / ("tw tool dir " + std::to_string(random()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string in_dir(const std::string& name) const { return path_utf8(dir_ / name); }

  fs::path dir_;
};

TEST_F(ToolCommandInDirectory, AnExistingParentBecomesTheWorkingDirectory) {
  const std::string program = in_dir("ffmpeg.exe");  // the program itself need not exist
  ToolCommand command = tool_command(program);
  EXPECT_EQ(command.program, program);
  EXPECT_TRUE(command.arguments.empty());
  ASSERT_TRUE(command.working_directory.has_value());
  EXPECT_EQ(*command.working_directory, path_utf8(dir_));
  EXPECT_EQ(command.creation_flags, 0x08000000u);
}

TEST_F(ToolCommandInDirectory, ABackslashSeparatesOnEveryPlatform) {
  const std::string program = path_utf8(dir_) + "\\ffmpeg.exe";
  ToolCommand command = tool_command(program);
  EXPECT_EQ(command.program, program);
  EXPECT_EQ(command.working_directory, path_utf8(dir_));
}

TEST_F(ToolCommandInDirectory, AMissingOrNonDirectoryParentIsNotUsed) {
  EXPECT_EQ(tool_command(in_dir("missing") + "/ffmpeg").working_directory, std::nullopt);
  std::ofstream(dir_ / "file").put('x');
  EXPECT_EQ(tool_command(in_dir("file") + "/ffmpeg").working_directory, std::nullopt);
}

TEST_F(ToolCommandInDirectory, ALinkToADirectoryIsFollowed) {
  std::error_code error;
  fs::create_directory_symlink(dir_, dir_ / "link", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  const std::string parent = in_dir("link");
  EXPECT_EQ(tool_command(parent + "/ffmpeg").working_directory, parent);
}

TEST(ToolCommand, ABareNameGetsNoWorkingDirectory) {
  ToolCommand command = tool_command("ffmpeg");
  EXPECT_EQ(command.program, "ffmpeg");
  EXPECT_EQ(command.working_directory, std::nullopt);
}

TEST(TaskkillPath, JoinsTheSystemDirectoryWithOneSeparator) {
  EXPECT_EQ(taskkill_path("C:\\windows\\system32"), "C:\\windows\\system32\\taskkill.exe");
  EXPECT_EQ(taskkill_path("D:\\Win\\System32\\"), "D:\\Win\\System32\\taskkill.exe");
  EXPECT_EQ(taskkill_path("D:/Win/System32/"), "D:/Win/System32/taskkill.exe");
}

TEST(TaskkillCommand, OneRunCoversEveryIdInOrder) {
  const std::uint32_t ids[] = {4120, 77};
  ToolCommand command = taskkill_command("C:\\windows\\system32", ids);
  EXPECT_EQ(command.program, "C:\\windows\\system32\\taskkill.exe");
  EXPECT_EQ(command.arguments,
            (std::vector<std::string>{"/T", "/F", "/PID", "4120", "/PID", "77"}));
  EXPECT_EQ(command.creation_flags, CREATE_NO_WINDOW_FLAG);
}

}  // namespace
}  // namespace tw

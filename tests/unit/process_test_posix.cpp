#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

#include "core/platform/process.h"
#include "core/tools/tool_command.h"
#include "process_test_support.h"

namespace tw {
namespace {

TEST(ProcessPosix, AChildDiesWithTheThreadThatStartedIt) {
  ChildProcess child;
  std::thread starter([&] {
    ToolCommand command = tool_command(test::standin_path("standin_process"));
    command.arguments = {"sleep", "60"};
    Result<ChildProcess> started =
        start_process(command, Stdio::null_device, Stdio::null_device, Stdio::null_device);
    ASSERT_TRUE(started) << started.error().chain();
    child = std::move(*started);
  });
  starter.join();
  EXPECT_EQ(child.wait(), 128 + SIGKILL);
}

TEST(ProcessPosix, EachChildLeadsItsOwnProcessGroup) {
  ToolCommand command = tool_command(test::standin_path("standin_process"));
  command.arguments = {"sleep", "60"};
  Result<ChildProcess> child =
      start_process(command, Stdio::null_device, Stdio::null_device, Stdio::null_device);
  ASSERT_TRUE(child) << child.error().chain();
  EXPECT_EQ(getpgid(static_cast<pid_t>(child->id())), static_cast<pid_t>(child->id()));
  end_process_tree(child->id());
  EXPECT_EQ(child->wait(), 128 + SIGKILL);
}

TEST(ProcessPosix, ABareNameIsSearchedOnPath) {
  ToolCommand command = tool_command("sh");
  command.arguments = {"-c", "exit 7"};
  Result<ChildProcess> child =
      start_process(command, Stdio::null_device, Stdio::null_device, Stdio::null_device);
  ASSERT_TRUE(child) << child.error().chain();
  EXPECT_EQ(child->wait(), 7);
}

TEST(ProcessPosix, AProgramThatCannotBeExecutedGivesTheExecError) {
  // A directory is found but cannot be executed.
  Result<ChildProcess> child = start_process(tool_command("/tmp"), Stdio::null_device,
                                             Stdio::null_device, Stdio::null_device);
  ASSERT_FALSE(child);
  EXPECT_NE(child.error().message().find("(os error 13)"), std::string::npos)
      << child.error().message();
}

}  // namespace
}  // namespace tw

#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

#include "core/platform/process.h"
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

}  // namespace
}  // namespace tw

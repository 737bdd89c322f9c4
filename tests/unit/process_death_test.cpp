// What a killed worker leaves behind. The test program runs itself as the "worker": a disabled
// test (run only on request) starts a stand-in tree through start_process, reports the ids and
// waits to be killed.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

#include "core/platform/process.h"
#include "core/tools/tool_command.h"
#include "process_test_support.h"

namespace tw {
namespace {

constexpr const char* WORKER_SIDE = "ProcessDeath.DISABLED_WorkerSideStartsATreeAndWaits";

TEST(ProcessDeath, DISABLED_WorkerSideStartsATreeAndWaits) {
  Result<ChildProcess> child = start_process(tool_command(test::standin_path("standin_tree")),
                                             Stdio::null_device, Stdio::pipe, Stdio::null_device);
  ASSERT_TRUE(child) << child.error().chain();
  PipeReader output = child->take_output();
  std::string line = "tree " + std::to_string(child->id()) + " " + test::read_line(output) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(60));
}

TEST(ProcessDeath, AKilledWorkerTakesItsDecoderWithIt) {
  ToolCommand command = tool_command(test::own_program_path());
  command.arguments = {"--gtest_also_run_disabled_tests",
                       std::string("--gtest_filter=") + WORKER_SIDE};
  Result<ChildProcess> worker =
      start_process(command, Stdio::null_device, Stdio::pipe, Stdio::null_device);
  ASSERT_TRUE(worker) << worker.error().chain();
  PipeReader output = worker->take_output();
  std::uint32_t decoder = 0;
  std::uint32_t grandchild = 0;
  for (std::string line; decoder == 0 && !(line = test::read_line(output)).empty();) {
    std::istringstream fields(line);
    std::string tag;
    if (fields >> tag && tag == "tree") fields >> decoder >> grandchild;
  }
  ASSERT_NE(decoder, 0u);
  ASSERT_NE(grandchild, 0u);
  ASSERT_TRUE(test::process_running(decoder));

  worker->terminate();  // the worker alone, as when the host kills it
  EXPECT_NE(worker->wait(), 0);
  EXPECT_TRUE(test::wait_until_gone(decoder));
#ifdef _WIN32
  // The decoder's job closes with the worker's handles and takes the whole tree.
  EXPECT_TRUE(test::wait_until_gone(grandchild));
#endif
  // POSIX: only the decoder itself is tied to the worker's life; its own children are not.
  test::force_end(grandchild);
}

}  // namespace
}  // namespace tw

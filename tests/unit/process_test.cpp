#include "core/platform/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>

#include "core/platform/empty_reads.h"
#include "core/platform/paths.h"
#include "core/tools/tool_command.h"
#include "process_test_support.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using test::read_all;
using test::read_line;
using test::standin_path;

ToolCommand standin(std::vector<std::string> arguments) {
  ToolCommand command = tool_command(standin_path("standin_process"));
  command.arguments = std::move(arguments);
  return command;
}

ChildProcess start_piped(const ToolCommand& command) {
  Result<ChildProcess> child = start_process(command, Stdio::null_device, Stdio::pipe, Stdio::pipe);
  if (!child) {
    ADD_FAILURE() << "start failed: " << child.error().chain();
    return ChildProcess();
  }
  return std::move(*child);
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Process, ReadsBothPipesAndTheExitCode) {
  ChildProcess child = start_piped(standin({"out", "hello", "err", "oops", "exit", "3"}));
  PipeReader output = child.take_output();
  PipeReader error = child.take_error_output();
  EXPECT_EQ(read_all(output), "hello");
  EXPECT_EQ(read_all(error), "oops");
  EXPECT_EQ(child.wait(), 3);
  EXPECT_EQ(child.wait(), 3);  // waited once; the code is kept
  PipeReader again = child.take_output();
  EXPECT_FALSE(again.is_open());
  EXPECT_EQ(again.read(std::span<std::byte>()), 0u);
}

TEST(Process, LargeOutputOnBothPipesArrivesWhole) {
  constexpr long OUTPUT_BYTES = 1 << 20;
  constexpr long ERROR_BYTES = 300000;
  ChildProcess child = start_piped(
      standin({"bulk-err", std::to_string(ERROR_BYTES), "bulk-out", std::to_string(OUTPUT_BYTES)}));
  PipeReader error = child.take_error_output();
  std::string error_text;
  std::thread error_reader([&] { error_text = read_all(error); });
  PipeReader output = child.take_output();
  std::string output_text = read_all(output);
  error_reader.join();
  EXPECT_EQ(child.wait(), 0);
  ASSERT_EQ(output_text.size(), static_cast<std::size_t>(OUTPUT_BYTES));
  ASSERT_EQ(error_text.size(), static_cast<std::size_t>(ERROR_BYTES));
  for (long i = 0; i < OUTPUT_BYTES; i += 4099) {
    ASSERT_EQ(static_cast<unsigned char>(output_text[i]), i % 251) << i;
  }
  EXPECT_EQ(static_cast<unsigned char>(error_text.back()), (ERROR_BYTES - 1) % 251);
}

TEST(Process, ArgumentsArriveUnchanged) {
  const std::vector<std::string> arguments = {"",
                                              "a b",
                                              "tab\there",
                                              "quote\"inside",
                                              "back\\slash\\",
                                              "ends in space ",
                                              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                                              "C:\\Media Files\\clip (1).mp4"};
  std::vector<std::string> all = {"args"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  ChildProcess child = start_piped(standin(all));
  PipeReader output = child.take_output();
  std::string text = read_all(output);
  EXPECT_EQ(child.wait(), 0);
  std::vector<std::string> received;
  for (std::size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos;
       start = end + 1) {
    received.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(received, arguments);
}

TEST(Process, NullInputEndsAtOnceAndNullOutputSwallowsWrites) {
  ChildProcess reader = start_piped(standin({"stdin"}));
  PipeReader output = reader.take_output();
  EXPECT_EQ(read_all(output), "0");
  EXPECT_EQ(reader.wait(), 0);

  Result<ChildProcess> writer =
      start_process(standin({"bulk-out", "100000", "err", "x"}), Stdio::null_device,
                    Stdio::null_device, Stdio::null_device);
  ASSERT_TRUE(writer) << writer.error().chain();
  EXPECT_FALSE(writer->take_output().is_open());
  EXPECT_EQ(writer->wait(), 0);
}

TEST(Process, IdIsTheChildsOwnProcessId) {
  ChildProcess child = start_piped(standin({"pid"}));
  PipeReader output = child.take_output();
  EXPECT_EQ(read_line(output), std::to_string(child.id()));
  EXPECT_EQ(child.wait(), 0);
}

TEST(Process, AMissingProgramIsOsError2) {
  const std::string missing_path = path_utf8(fs::temp_directory_path() / "tw-no-such-program");
  for (const std::string& program : {missing_path, std::string("tw-no-such-program")}) {
    Result<ChildProcess> child =
        start_process(tool_command(program), Stdio::null_device, Stdio::pipe, Stdio::pipe);
    ASSERT_FALSE(child) << program;
    EXPECT_EQ(child.error().cause(), nullptr);
    EXPECT_TRUE(ends_with(child.error().message(), "(os error 2)")) << child.error().message();
  }
}

class ProcessInDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    dir_ = fs::temp_directory_path() / ("tw process dir " + std::to_string(random()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path dir_;
};

TEST_F(ProcessInDirectory, TheWorkingDirectoryIsHonoured) {
  ToolCommand command = standin({"cwd"});
  command.working_directory = path_utf8(dir_);
  ChildProcess child = start_piped(command);
  PipeReader output = child.take_output();
  std::string reported = read_line(output);
  EXPECT_EQ(child.wait(), 0);
  EXPECT_TRUE(fs::equivalent(utf8_path(reported), dir_)) << reported;
}

TEST(Process, ARelativeProgramIsTakenFromTheWorkersDirectory) {
  // tool_command gives a relative program its own directory as working directory; the program
  // path must still mean what it meant in the worker's directory.
  const fs::path standin = utf8_path(standin_path("standin_process"));
  const fs::path previous = fs::current_path();
  fs::current_path(standin.parent_path().parent_path());
  const fs::path relative = standin.parent_path().filename() / standin.filename();
  ToolCommand command = tool_command(path_utf8(relative));
  command.arguments = {"cwd"};
  Result<ChildProcess> child = start_process(command, Stdio::null_device, Stdio::pipe, Stdio::pipe);
  fs::current_path(previous);
  ASSERT_TRUE(child) << child.error().chain();
  ASSERT_TRUE(command.working_directory.has_value());
  PipeReader output = child->take_output();
  std::string reported = read_line(output);
  EXPECT_EQ(child->wait(), 0);
  EXPECT_TRUE(fs::equivalent(utf8_path(reported), standin.parent_path())) << reported;
}

TEST(Process, TerminateForcesTheEnd) {
  ChildProcess child = start_piped(standin({"sleep", "60"}));
  child.terminate();
  Result<int> code = child.wait();
  ASSERT_TRUE(code) << code.error().chain();
#ifdef _WIN32
  EXPECT_EQ(*code, 1);
#else
  EXPECT_EQ(*code, 128 + 9);  // SIGKILL
#endif
  child.terminate();  // after the wait: nothing to do
  EXPECT_EQ(child.wait(), *code);
}

TEST(Process, WaitForExitGivesUpWhileTheChildRuns) {
  ChildProcess child = start_piped(standin({"sleep", "60"}));
  EXPECT_FALSE(child.wait_for_exit(std::chrono::milliseconds(20)));
  child.terminate();
  EXPECT_TRUE(child.wait_for_exit(std::chrono::minutes(2)));
  EXPECT_NE(child.wait(), 0);  // at once
  EXPECT_TRUE(child.wait_for_exit(std::chrono::milliseconds(0)));
}

TEST(Process, DestroyingAnUnwaitedChildEndsItsTree) {
  std::uint32_t child_id = 0;
  std::uint32_t grandchild_id = 0;
  {
    Result<ChildProcess> child = start_process(tool_command(standin_path("standin_tree")),
                                               Stdio::null_device, Stdio::pipe, Stdio::null_device);
    ASSERT_TRUE(child) << child.error().chain();
    child_id = child->id();
    PipeReader output = child->take_output();
    grandchild_id = static_cast<std::uint32_t>(std::stoul(read_line(output)));
    ASSERT_TRUE(test::process_running(grandchild_id));
  }
  EXPECT_FALSE(test::process_running(child_id));
  EXPECT_TRUE(test::wait_until_gone(grandchild_id));
}

// How Windows reads take a successful read of zero bytes: from a pipe that still has a writer
// it is a zero-byte write, read past; from a file, a console or an ended pipe it is the end.
// Each read below gives 0, 0, then 5 bytes.
TEST(EmptyReads, OnlyAPipeThatStillHasAWriterIsReadAgain) {
  struct Case {
    bool from_pipe;
    bool pipe_ended;
    std::size_t reads;
    std::size_t got;
  };
  for (const Case& c :
       {Case{true, false, 3, 5}, Case{true, true, 1, 0}, Case{false, false, 1, 0}}) {
    std::size_t reads = 0;
    const auto read_once = [&]() -> Result<std::size_t> { return ++reads < 3 ? 0 : 5; };
    Result<std::size_t> got =
        read_past_empty_writes(c.from_pipe, read_once, [&] { return c.pipe_ended; });
    EXPECT_EQ(got, c.got) << c.from_pipe << c.pipe_ended;
    EXPECT_EQ(reads, c.reads) << c.from_pipe << c.pipe_ended;
  }
  const Result<std::size_t> failed = read_past_empty_writes(
      true, []() -> Result<std::size_t> { return fail("broken"); }, [] { return false; });
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().message(), "broken");
}

}  // namespace
}  // namespace tw

#include "core/tools/child_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "core/platform/process.h"
#include "core/tools/kill_process_trees.h"
#include "core/tools/tool_command.h"
#include "process_test_support.h"

namespace tw {
namespace {

using Ids = std::vector<std::uint32_t>;

// A registry whose tree-killing only records the calls.
class RecordingRegistry : public ::testing::Test {
 protected:
  std::mutex calls_lock_;
  std::vector<Ids> calls_;
  ChildRegistry registry_{[this](std::span<const std::uint32_t> ids) {
    std::lock_guard guard(calls_lock_);
    calls_.emplace_back(ids.begin(), ids.end());
  }};
};

TEST_F(RecordingRegistry, GuardsListIdsInRegistrationOrder) {
  ChildGuard first = registry_.register_child(41);
  ChildGuard second = registry_.register_child(7);
  EXPECT_EQ(first.id(), 41u);
  EXPECT_EQ(registry_.pids(), (Ids{41, 7}));
  EXPECT_FALSE(registry_.stopping());
  EXPECT_TRUE(calls_.empty());
}

TEST_F(RecordingRegistry, StopWithNothingRegisteredStartsNoTool) {
  registry_.stop_all_children();
  EXPECT_TRUE(registry_.stopping());
  EXPECT_TRUE(calls_.empty());
}

TEST_F(RecordingRegistry, StopEndsAllListedInOneCallAndOnlyOnce) {
  ChildGuard first = registry_.register_child(4120);
  ChildGuard second = registry_.register_child(77);
  registry_.stop_all_children();
  EXPECT_EQ(calls_, (std::vector<Ids>{{4120, 77}}));
  EXPECT_TRUE(registry_.pids().empty());
  registry_.stop_all_children();
  EXPECT_EQ(calls_.size(), 1u);
  EXPECT_TRUE(registry_.stopping());
}

TEST_F(RecordingRegistry, ARegistrationAfterAStopIsEndedAtOnceAndNotListed) {
  registry_.stop_all_children();
  ChildGuard late = registry_.register_child(501);
  EXPECT_EQ(calls_, (std::vector<Ids>{{501}}));
  EXPECT_TRUE(registry_.pids().empty());
  EXPECT_EQ(late.id(), 501u);
  late.release();
  EXPECT_EQ(calls_.size(), 1u);  // releasing never ends a process
}

TEST_F(RecordingRegistry, ReleasingAGuardRemovesEveryEqualEntryOnly) {
  ChildGuard first = registry_.register_child(7);
  ChildGuard other = registry_.register_child(8);
  ChildGuard duplicate = registry_.register_child(7);
  first.release();
  EXPECT_EQ(registry_.pids(), (Ids{8}));
  duplicate.release();  // not listed any more: nothing changes
  EXPECT_EQ(registry_.pids(), (Ids{8}));
  EXPECT_TRUE(calls_.empty());
}

TEST_F(RecordingRegistry, ReleasingAGuardWhoseIdWasTakenByAStopChangesNothing) {
  ChildGuard guard = registry_.register_child(12);
  registry_.stop_all_children();
  guard.release();
  EXPECT_TRUE(registry_.pids().empty());
  EXPECT_TRUE(registry_.stopping());
  EXPECT_EQ(calls_, (std::vector<Ids>{{12}}));
}

TEST_F(RecordingRegistry, AMovedGuardReleasesOnce) {
  ChildGuard kept = registry_.register_child(3);
  {
    ChildGuard first = registry_.register_child(5);
    ChildGuard moved = std::move(first);
    EXPECT_EQ(registry_.pids(), (Ids{3, 5}));
    first.release();  // moved from: owns nothing
    EXPECT_EQ(registry_.pids(), (Ids{3, 5}));
  }
  EXPECT_EQ(registry_.pids(), (Ids{3}));
  ChildGuard assigned;
  assigned = std::move(kept);
  assigned = ChildGuard();  // assignment releases what it held
  EXPECT_TRUE(registry_.pids().empty());
}

TEST(ChildRegistry, TheLockIsNotHeldWhileTreesAreEnded) {
  // The killing function uses the registry itself; a held lock would deadlock here.
  ChildRegistry* self = nullptr;
  Ids seen_listed = {999};
  ChildRegistry registry([&](std::span<const std::uint32_t>) { seen_listed = self->pids(); });
  self = &registry;
  ChildGuard guard = registry.register_child(1);
  registry.stop_all_children();
  EXPECT_TRUE(seen_listed.empty());
  ChildGuard late = registry.register_child(2);
  EXPECT_TRUE(seen_listed.empty());
}

TEST(ChildRegistry, ReleasingWaitsUntilARunningStopHasEndedItsTrees) {
  // The owner closes its process handle once released: until the stop's tool is done with the
  // id, no other process may get it.
  std::promise<void> entered;
  std::promise<void> proceed;
  std::atomic<bool> stop_done{false};
  ChildRegistry registry([&](std::span<const std::uint32_t>) {
    entered.set_value();
    proceed.get_future().wait();
    stop_done = true;
  });
  ChildGuard guard = registry.register_child(1);
  std::thread stopper([&] { registry.stop_all_children(); });
  entered.get_future().wait();
  std::future<bool> released = std::async(std::launch::async, [&] {
    guard.release();
    return stop_done.load();
  });
  const bool early = released.wait_for(std::chrono::milliseconds(500)) == std::future_status::ready;
  proceed.set_value();
  stopper.join();
  EXPECT_FALSE(early);
  EXPECT_TRUE(released.get());
}

TEST(ChildRegistry, NoRegistrationEscapesAConcurrentStop) {
  constexpr std::uint32_t REGISTRARS = 4;
  constexpr std::uint32_t PER_REGISTRAR = 500;
  std::mutex ended_lock;
  Ids ended;
  ChildRegistry registry([&](std::span<const std::uint32_t> ids) {
    std::lock_guard guard(ended_lock);
    ended.insert(ended.end(), ids.begin(), ids.end());
  });
  std::vector<ChildGuard> guards[REGISTRARS];
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (std::uint32_t t = 0; t < REGISTRARS; ++t) {
    threads.emplace_back([&, t] {
      while (!go) std::this_thread::yield();
      for (std::uint32_t i = 0; i < PER_REGISTRAR; ++i) {
        guards[t].push_back(registry.register_child(t * PER_REGISTRAR + i + 1));
      }
    });
  }
  threads.emplace_back([&] {
    while (!go) std::this_thread::yield();
    registry.stop_all_children();
  });
  go = true;
  for (std::thread& thread : threads) thread.join();

  // Every id was ended exactly once: by the stop, or by its own registration after it.
  std::sort(ended.begin(), ended.end());
  Ids all(REGISTRARS * PER_REGISTRAR);
  for (std::uint32_t i = 0; i < all.size(); ++i) all[i] = i + 1;
  EXPECT_EQ(ended, all);
  EXPECT_TRUE(registry.pids().empty());
}

// With real processes: a stand-in that starts a grandchild that would outlive it.
struct Tree {
  ChildProcess child;
  PipeReader output;
  std::uint32_t grandchild = 0;
};

Tree start_tree(const char* mode) {
  Tree tree;
  ToolCommand command = tool_command(test::standin_path("standin_tree"));
  if (*mode != '\0') command.arguments = {mode};
  Result<ChildProcess> child =
      start_process(command, Stdio::null_device, Stdio::pipe, Stdio::null_device);
  if (!child) {
    ADD_FAILURE() << "start failed: " << child.error().chain();
    return tree;
  }
  tree.child = std::move(*child);
  tree.output = tree.child.take_output();
  std::string line = test::read_line(tree.output);
  if (line.empty()) {
    ADD_FAILURE() << "no grandchild id";
    return tree;
  }
  tree.grandchild = static_cast<std::uint32_t>(std::stoul(line));
  EXPECT_TRUE(test::process_running(tree.grandchild));
  return tree;
}

TEST(ProcessTrees, StopAllChildrenEndsEveryRegisteredTree) {
  ChildRegistry registry(kill_process_trees);
  Tree first = start_tree("");
  Tree second = start_tree("");
  ASSERT_NE(first.grandchild, 0u);
  ASSERT_NE(second.grandchild, 0u);
  ChildGuard first_guard = registry.register_child(first.child.id());
  ChildGuard second_guard = registry.register_child(second.child.id());
  registry.stop_all_children();
  for (Tree* tree : {&first, &second}) {
    EXPECT_TRUE(test::wait_until_gone(tree->grandchild));
    // The output ends once every holder of the pipe (the grandchild too) is gone.
    EXPECT_EQ(test::read_all(tree->output), "");
    Result<int> code = tree->child.wait();
    ASSERT_TRUE(code) << code.error().chain();
    EXPECT_NE(*code, 0);
  }
}

TEST(ProcessTrees, ADecoderRegisteredDuringAStopIsEndedWithItsTree) {
  ChildRegistry registry(kill_process_trees);
  registry.stop_all_children();
  Tree tree = start_tree("");
  ASSERT_NE(tree.grandchild, 0u);
  ChildGuard guard = registry.register_child(tree.child.id());
  EXPECT_TRUE(registry.pids().empty());
  EXPECT_TRUE(test::wait_until_gone(tree.grandchild));
  EXPECT_EQ(test::read_all(tree.output), "");
  EXPECT_NE(tree.child.wait(), 0);
}

TEST(ProcessTrees, TerminateDecoderEndsTheTreeAndWaits) {
  Tree tree = start_tree("");
  ASSERT_NE(tree.grandchild, 0u);
  terminate_decoder(tree.child.id(), tree.child);
  EXPECT_FALSE(test::process_running(tree.child.id()));
  EXPECT_TRUE(test::wait_until_gone(tree.grandchild));
  EXPECT_EQ(test::read_all(tree.output), "");
  EXPECT_NE(tree.child.wait(), 0);
}

TEST(ProcessTrees, TerminateDecoderAfterTheDecoderExitedKeepsItsExitCode) {
  // The stand-in has exited with 0 and left its grandchild behind; the grandchild still goes.
  Tree tree = start_tree("leave");
  ASSERT_NE(tree.grandchild, 0u);
  const std::uint32_t id = tree.child.id();
  while (test::process_running(id)) std::this_thread::yield();
  terminate_decoder(id, tree.child);
  EXPECT_EQ(tree.child.wait(), 0);
  EXPECT_TRUE(test::wait_until_gone(tree.grandchild));
}

}  // namespace
}  // namespace tw

#include "core/channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace tw {
namespace {

// Counts live instances, so a test can see items being dropped.
struct Tracked {
  explicit Tracked(int value, std::shared_ptr<int> live) : value(value), live(std::move(live)) {
    ++*this->live;
  }
  Tracked(Tracked&& other) noexcept : value(other.value), live(std::move(other.live)) {}
  Tracked(const Tracked&) = delete;
  ~Tracked() {
    if (live) --*live;
  }
  int value;
  std::shared_ptr<int> live;
};

TEST(Channel, DeliversMoveOnlyItemsInOrderThenReportsTheEnd) {
  auto [sender, receiver] = make_channel<std::unique_ptr<int>>(4);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(sender.send(std::make_unique<int>(i)));
  sender.release();
  for (int i = 0; i < 3; ++i) {
    auto item = receiver.receive();
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(**item, i);
  }
  EXPECT_EQ(receiver.receive(), std::nullopt);
  EXPECT_EQ(receiver.receive(), std::nullopt);
}

TEST(Channel, TryReceiveNeverWaits) {
  auto [sender, receiver] = make_channel<int>(2);
  EXPECT_EQ(receiver.try_receive(), std::nullopt);  // open but empty
  ASSERT_TRUE(sender.send(7));
  EXPECT_EQ(receiver.try_receive(), 7);
  ASSERT_TRUE(sender.send(8));
  sender.release();
  EXPECT_EQ(receiver.try_receive(), 8);  // still delivered after the sender left
  EXPECT_EQ(receiver.try_receive(), std::nullopt);
}

TEST(Channel, SendFailsAndDropsTheItemOnceTheReceiverIsGone) {
  auto live = std::make_shared<int>(0);
  auto [sender, receiver] = make_channel<Tracked>(4);
  ASSERT_TRUE(sender.send(Tracked(1, live)));
  ASSERT_TRUE(sender.send(Tracked(2, live)));
  EXPECT_EQ(*live, 2);
  receiver.release();
  EXPECT_EQ(*live, 0) << "queued items are freed with the last receiver";
  Tracked refused(3, live);
  EXPECT_FALSE(sender.send(std::move(refused)));
  EXPECT_EQ(*live, 0) << "a refused item is dropped, not left with the caller";
}

TEST(Channel, ReleasingTheReceiverWakesASenderWaitingOnAFullQueue) {
  auto [sender, receiver] = make_channel<int>(1);
  ASSERT_TRUE(sender.send(1));
  std::atomic<bool> second_sent{true};
  std::thread producer([&, &sender = sender] { second_sent = sender.send(2); });
  receiver.release();
  producer.join();
  // The queue was full, so the second send could only have waited and then failed.
  EXPECT_FALSE(second_sent);
}

TEST(Channel, ReleasingTheLastSenderWakesAWaitingReceiver) {
  auto [sender, receiver] = make_channel<int>(1);
  std::optional<int> received = 5;
  std::thread consumer([&, &receiver = receiver] { received = receiver.receive(); });
  sender.release();
  consumer.join();
  EXPECT_EQ(received, std::nullopt);
}

TEST(Channel, FullQueueHoldsTheSenderBack) {
  constexpr std::size_t CAPACITY = 2;
  constexpr int ITEMS = 2000;
  auto [sender, receiver] = make_channel<int>(CAPACITY);
  std::atomic<int> sent{0};
  std::thread producer([&, sender = std::move(sender)]() mutable {
    for (int i = 0; i < ITEMS; ++i) {
      ASSERT_TRUE(sender.send(int{i}));
      sent.fetch_add(1);
    }
  });
  int received = 0;
  while (auto item = receiver.receive()) {
    EXPECT_EQ(*item, received);
    ++received;
    // Whatever has been sent is either received or among at most CAPACITY queued items.
    EXPECT_LE(sent.load(), received + static_cast<int>(CAPACITY));
  }
  producer.join();
  EXPECT_EQ(received, ITEMS);
}

TEST(Channel, ClonedSendersKeepTheQueueOpenUntilAllAreReleased) {
  constexpr int PRODUCERS = 4;
  constexpr int ITEMS = 500;
  auto [sender, receiver] = make_channel<std::pair<int, int>>(3);
  std::vector<std::thread> producers;
  for (int p = 0; p < PRODUCERS; ++p) {
    producers.emplace_back([p, own = sender.clone()]() mutable {
      for (int i = 0; i < ITEMS; ++i) ASSERT_TRUE(own.send({p, i}));
    });
  }
  sender.release();
  std::vector<int> next(PRODUCERS, 0);
  int total = 0;
  while (auto item = receiver.receive()) {
    EXPECT_EQ(item->second, next[item->first]++) << "each sender's items stay in order";
    ++total;
  }
  for (auto& producer : producers) producer.join();
  EXPECT_EQ(total, PRODUCERS * ITEMS);
}

TEST(Channel, ClonedReceiversKeepSendsWorkingUntilAllAreReleased) {
  auto [sender, receiver] = make_channel<int>(4);
  auto second = receiver.clone();
  receiver.release();
  EXPECT_TRUE(sender.send(1));
  EXPECT_EQ(second.try_receive(), 1);
  second.release();
  EXPECT_FALSE(sender.send(2));
}

TEST(Channel, UnboundedQueueNeverWaits) {
  auto [sender, receiver] = make_channel<int>(UNBOUNDED_CAPACITY);
  for (int i = 0; i < 100000; ++i) ASSERT_TRUE(sender.send(int{i}));
  sender.release();
  int count = 0;
  while (receiver.receive()) ++count;
  EXPECT_EQ(count, 100000);
}

TEST(ChannelDeathTest, ZeroCapacityIsABrokenInvariant) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(make_channel<int>(0), "at least one item");
}

}  // namespace
}  // namespace tw

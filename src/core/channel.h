#pragma once
// A first-in-first-out queue between threads, with a sending and a receiving end.
//
// Either side learns when the other is gone: a send fails once every receiver has been
// released, and a receive reports the end once every sender has been released and the queue
// has been drained. A bounded queue makes its senders wait while it is full, which is how the
// audio thread is held back when decoding falls behind.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <utility>

#include "core/platform/fail_fast.h"

namespace tw {

// Capacity of a queue whose sends never wait.
inline constexpr std::size_t UNBOUNDED_CAPACITY = std::numeric_limits<std::size_t>::max();

namespace channel_detail {

template <class T>
struct State {
  explicit State(std::size_t capacity) : capacity(capacity) {}

  std::mutex lock;
  std::condition_variable_any item_added;  // or the last sender gone; any: waits can be stopped
  std::condition_variable item_removed;    // or the last receiver gone
  std::deque<T> items;
  const std::size_t capacity;
  std::size_t senders = 1;
  std::size_t receivers = 1;
};

}  // namespace channel_detail

template <class T>
class Sender;
template <class T>
class Receiver;

template <class T>
struct Channel {
  Sender<T> sender;
  Receiver<T> receiver;
};

template <class T>
Channel<T> make_channel(std::size_t capacity);

template <class T>
class Sender {
 public:
  Sender(Sender&& other) noexcept : state_(std::exchange(other.state_, nullptr)) {}
  Sender& operator=(Sender&& other) noexcept {
    if (this != &other) {
      release();
      state_ = std::exchange(other.state_, nullptr);
    }
    return *this;
  }
  Sender(const Sender&) = delete;
  Sender& operator=(const Sender&) = delete;
  ~Sender() { release(); }

  // Queues `item`, waiting while the queue is full. Returns false, and drops the item, once
  // every receiver has been released.
  bool send(T&& item) {
    T taken = std::move(item);
    auto& state = checked_state();
    std::unique_lock guard(state.lock);
    state.item_removed.wait(
        guard, [&] { return state.receivers == 0 || state.items.size() < state.capacity; });
    if (state.receivers == 0) {
      guard.unlock();
      return false;  // `taken` dies here, outside the lock
    }
    state.items.push_back(std::move(taken));
    guard.unlock();
    state.item_added.notify_one();
    return true;
  }

  // Another sending end of the same queue; the queue stays open until all are released.
  Sender clone() const {
    auto& state = checked_state();
    std::lock_guard guard(state.lock);
    ++state.senders;
    return Sender(state_);
  }

  // Gives up this end now rather than at destruction. Releasing twice does nothing.
  void release() noexcept {
    if (!state_) return;
    auto state = std::exchange(state_, nullptr);
    bool last;
    {
      std::lock_guard guard(state->lock);
      last = --state->senders == 0;
    }
    if (last) state->item_added.notify_all();
  }

 private:
  friend Channel<T> make_channel<T>(std::size_t);
  explicit Sender(std::shared_ptr<channel_detail::State<T>> state) : state_(std::move(state)) {}

  channel_detail::State<T>& checked_state() const {
    if (!state_) fail_fast("a released queue sender was used");
    return *state_;
  }

  std::shared_ptr<channel_detail::State<T>> state_;
};

template <class T>
class Receiver {
 public:
  Receiver(Receiver&& other) noexcept : state_(std::exchange(other.state_, nullptr)) {}
  Receiver& operator=(Receiver&& other) noexcept {
    if (this != &other) {
      release();
      state_ = std::exchange(other.state_, nullptr);
    }
    return *this;
  }
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;
  ~Receiver() { release(); }

  // The oldest queued item, waiting for one if needed. Nothing only when every sender has been
  // released and the queue is empty: items sent before the senders left are still delivered.
  std::optional<T> receive() {
    auto& state = checked_state();
    std::unique_lock guard(state.lock);
    state.item_added.wait(guard, [&] { return !state.items.empty() || state.senders == 0; });
    return take_front(state, guard);
  }

  // As receive(), but gives up and returns nothing as soon as `stop` is requested, also while
  // waiting.
  std::optional<T> receive(std::stop_token stop) {
    auto& state = checked_state();
    std::unique_lock guard(state.lock);
    state.item_added.wait(guard, stop, [&] { return !state.items.empty() || state.senders == 0; });
    if (stop.stop_requested()) return std::nullopt;
    return take_front(state, guard);
  }

  // The oldest queued item if there is one; never waits.
  std::optional<T> try_receive() {
    auto& state = checked_state();
    std::unique_lock guard(state.lock);
    return take_front(state, guard);
  }

  // Another receiving end of the same queue; sends keep working until all are released.
  Receiver clone() const {
    auto& state = checked_state();
    std::lock_guard guard(state.lock);
    ++state.receivers;
    return Receiver(state_);
  }

  // Gives up this end now rather than at destruction. When it was the last receiver, the
  // queued items are dropped and waiting senders fail. Releasing twice does nothing.
  void release() noexcept {
    if (!state_) return;
    auto state = std::exchange(state_, nullptr);
    std::deque<T> dropped;
    bool last;
    {
      std::lock_guard guard(state->lock);
      last = --state->receivers == 0;
      if (last) dropped.swap(state->items);
    }
    if (last) state->item_removed.notify_all();
  }  // `dropped` is freed here, outside the lock

 private:
  friend Channel<T> make_channel<T>(std::size_t);
  explicit Receiver(std::shared_ptr<channel_detail::State<T>> state) : state_(std::move(state)) {}

  channel_detail::State<T>& checked_state() const {
    if (!state_) fail_fast("a released queue receiver was used");
    return *state_;
  }

  static std::optional<T> take_front(channel_detail::State<T>& state,
                                     std::unique_lock<std::mutex>& guard) {
    if (state.items.empty()) return std::nullopt;
    std::optional<T> item(std::move(state.items.front()));
    state.items.pop_front();
    guard.unlock();
    state.item_removed.notify_one();
    return item;
  }

  std::shared_ptr<channel_detail::State<T>> state_;
};

// A queue holding at most `capacity` items (at least 1; UNBOUNDED_CAPACITY for no limit), with
// one sending and one receiving end.
template <class T>
Channel<T> make_channel(std::size_t capacity) {
  if (capacity == 0) fail_fast("a queue needs room for at least one item");
  auto state = std::make_shared<channel_detail::State<T>>(capacity);
  return Channel<T>{Sender<T>(state), Receiver<T>(std::move(state))};
}

}  // namespace tw

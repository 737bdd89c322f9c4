#pragma once
// The registry of running decoders: the audio thread registers its decoder and releases it at
// the end; the stdin watch ends every registered decoder at once and refuses new ones from then
// on. One lock covers the list and the stopping mark; it is never held while a tool runs or a
// process is waited for.
//
// A stop names its processes by id to a tool that runs after the lock is released. Releasing a
// registration therefore waits until no stop is running: the owner closes its process handle
// only after that, so the id cannot be reused by another process while the tool may still
// look for it.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

namespace tw {

class ChildRegistry;

// One registered id. Releasing it (destruction or release()) removes the id from the registry;
// it does not end the process. Move-only.
class ChildGuard {
 public:
  ChildGuard() = default;
  ~ChildGuard() { release(); }
  ChildGuard(ChildGuard&& other) noexcept;
  ChildGuard& operator=(ChildGuard&& other) noexcept;
  ChildGuard(const ChildGuard&) = delete;
  ChildGuard& operator=(const ChildGuard&) = delete;

  std::uint32_t id() const { return id_; }
  void release();

 private:
  friend class ChildRegistry;
  ChildGuard(ChildRegistry* registry, std::uint32_t id) : registry_(registry), id_(id) {}
  ChildRegistry* registry_ = nullptr;
  std::uint32_t id_ = 0;
};

class ChildRegistry {
 public:
  using KillTrees = std::function<void(std::span<const std::uint32_t> ids)>;

  // `kill_trees` ends the process trees of the given ids; the process-wide registry uses
  // kill_process_trees.
  explicit ChildRegistry(KillTrees kill_trees) : kill_trees_(std::move(kill_trees)) {}
  ChildRegistry(const ChildRegistry&) = delete;
  ChildRegistry& operator=(const ChildRegistry&) = delete;

  // Lists the id, or, once a stop has begun, ends its tree at once instead.
  ChildGuard register_child(std::uint32_t id);

  // Removes every entry equal to `id`; an id that is not listed changes nothing. Waits while a
  // stop is ending trees.
  void unregister_child(std::uint32_t id);

  // Marks the registry as stopping and ends the trees of every listed id in one call.
  void stop_all_children();

  // The listed ids in registration order, and the stopping mark.
  std::vector<std::uint32_t> pids() const;
  bool stopping() const;

 private:
  KillTrees kill_trees_;
  mutable std::mutex lock_;
  std::condition_variable stop_finished_;
  std::vector<std::uint32_t> pids_;
  bool stopping_ = false;
  int stops_running_ = 0;
};

// The one registry of the worker process, alive from first use until the process ends (never
// destroyed, so a detached thread may use it during exit).
ChildRegistry& child_registry();

// The operations on the process-wide registry.
ChildGuard register_child(std::uint32_t id);
void stop_all_children();

}  // namespace tw

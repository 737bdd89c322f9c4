#include "core/tools/child_registry.h"

#include <algorithm>

#include "core/tools/kill_process_trees.h"

namespace tw {

ChildGuard::ChildGuard(ChildGuard&& other) noexcept
    : registry_(std::exchange(other.registry_, nullptr)), id_(other.id_) {}

ChildGuard& ChildGuard::operator=(ChildGuard&& other) noexcept {
  if (this != &other) {
    release();
    registry_ = std::exchange(other.registry_, nullptr);
    id_ = other.id_;
  }
  return *this;
}

void ChildGuard::release() {
  if (registry_ != nullptr) std::exchange(registry_, nullptr)->unregister_child(id_);
}

ChildGuard ChildRegistry::register_child(std::uint32_t id) {
  bool stopping;
  {
    std::lock_guard guard(lock_);
    stopping = stopping_;
    if (!stopping) pids_.push_back(id);
  }
  // A stop is under way and has taken its list already: this one would escape it.
  if (stopping) {
    const std::uint32_t ids[] = {id};
    kill_trees_(ids);
  }
  return ChildGuard(this, id);
}

void ChildRegistry::unregister_child(std::uint32_t id) {
  std::unique_lock guard(lock_);
  std::erase(pids_, id);
  stop_finished_.wait(guard, [&] { return stops_running_ == 0; });
}

void ChildRegistry::stop_all_children() {
  std::vector<std::uint32_t> taken;
  {
    // The mark and the taking share one locked section: a registration is either in `taken`
    // or sees the mark and ends its own decoder.
    std::lock_guard guard(lock_);
    stopping_ = true;
    taken.swap(pids_);
    if (taken.empty()) return;
    ++stops_running_;
  }
  kill_trees_(taken);
  std::lock_guard guard(lock_);
  --stops_running_;
  stop_finished_.notify_all();
}

std::vector<std::uint32_t> ChildRegistry::pids() const {
  std::lock_guard guard(lock_);
  return pids_;
}

bool ChildRegistry::stopping() const {
  std::lock_guard guard(lock_);
  return stopping_;
}

ChildRegistry& child_registry() {
  static ChildRegistry* registry = new ChildRegistry(kill_process_trees);
  return *registry;
}

ChildGuard register_child(std::uint32_t id) { return child_registry().register_child(id); }

void stop_all_children() { child_registry().stop_all_children(); }

}  // namespace tw

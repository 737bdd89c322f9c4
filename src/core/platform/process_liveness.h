#pragma once
// This process and others by id, for telling a live run's files from a dead one's.

#include <cstdint>
#include <string>

namespace tw {

std::uint32_t current_process_id();

// The machine's name as the system gives it ("" when it does not say).
std::string host_name();

// Whether no process of that id runs on this machine (POSIX: kill(id, 0) fails with ESRCH;
// Windows: the process cannot be opened, or has an exit code). Any doubt counts as alive.
bool process_is_gone(std::uint32_t id);

}  // namespace tw

#include <signal.h>
#include <unistd.h>
#include <cerrno>
#include <climits>

#include "core/platform/process_liveness.h"

namespace tw {

std::uint32_t current_process_id() { return static_cast<std::uint32_t>(::getpid()); }

std::string host_name() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

bool process_is_gone(std::uint32_t id) {
  if (id == 0 || id > static_cast<std::uint32_t>(INT_MAX)) return false;
  return ::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

}  // namespace tw

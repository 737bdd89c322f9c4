#include "core/program_version.h"

#include <mutex>
#include <string>

#include <version.h>  // written at every build into the build tree, not a source file
#include "core/platform/std_streams.h"

namespace tw {

std::string_view build_version() { return TW_VERSION_TEXT; }

Status print_version(std::string_view program) {
  const std::string line = std::string(program) + " " + std::string(build_version()) + "\n";
  std::lock_guard<std::recursive_timed_mutex> lock(stdout_lock());
  return write_stdout(line);
}

}  // namespace tw

#include "core/error_exit.h"

#include "core/platform/std_streams.h"

namespace tw {

std::string error_line(const Error& error) { return "error: " + error.chain() + "\n"; }

void exit_with_error(const Error& error) {
  write_stderr(error_line(error));
  exit_process(1);
}

}  // namespace tw

#include "worker/entry.h"

#include "core/error.h"
#include "core/platform/fail_fast.h"
#include "core/platform/std_streams.h"
#include "worker/run.h"

namespace tw {

std::string error_line(const Error& error) { return "error: " + error.chain() + "\n"; }

int worker_main(std::vector<std::string> arguments) {
  install_process_guards();
  Status result = run(arguments);
  if (result) exit_process(0);
  write_stderr(error_line(result.error()));
  exit_process(1);
}

}  // namespace tw

#include "worker/entry.h"

#include "core/error.h"
#include "core/platform/fail_fast.h"
#include "core/platform/std_streams.h"
#include "worker/run.h"

namespace tw {

int worker_main(std::vector<std::string> arguments) {
  install_process_guards();
  Status result = run(arguments);
  if (result) exit_process(0);
  exit_with_error(result.error());
}

}  // namespace tw

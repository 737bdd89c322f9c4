#include "core/platform/environment.h"
#include "core/platform/process.h"
#include "core/tools/kill_process_trees.h"
#include "core/tools/taskkill_command.h"

namespace tw {

void kill_process_trees(std::span<const std::uint32_t> ids) {
  if (ids.empty()) return;
  ToolCommand command = taskkill_command(environment_variable("SystemRoot"), ids);
  if (Result<ChildProcess> taskkill =
          start_process(command, Stdio::inherit, Stdio::null_device, Stdio::null_device)) {
    Result<int> ignored = taskkill->wait();
    (void)ignored;
  }
  // taskkill /T misses children whose parent has already exited, and wine's has no /T at all;
  // the job object of each decoder holds its whole tree.
  for (std::uint32_t id : ids) end_process_tree(id);
}

}  // namespace tw

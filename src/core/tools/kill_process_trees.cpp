#include "core/tools/kill_process_trees.h"

#include "core/platform/process.h"

namespace tw {

void terminate_decoder(std::uint32_t id, ChildProcess& process) {
  const std::uint32_t ids[] = {id};
  kill_process_trees(ids);
  process.terminate();
  Result<int> ignored = process.wait();
  (void)ignored;
}

}  // namespace tw

#include <chrono>
#include <vector>

#include "core/platform/process.h"
#include "core/platform/system_info.h"
#include "core/tools/kill_process_trees.h"
#include "core/tools/taskkill_command.h"

namespace tw {
namespace {

// taskkill.exe normally ends in well under a second; a stop does not wait longer than this.
constexpr auto TASKKILL_WAIT = std::chrono::seconds(5);

}  // namespace

// Each decoder's job holds its whole tree (nothing may break away from it), and ending the job
// ends every member at once. taskkill /T walks recorded parent ids instead, which Windows never
// updates (an unrelated process whose recorded parent had the same id can go with the tree), so
// it runs only for an id whose tree no job of ours holds: with the null device as its standard
// input (a synchronous read that the stdin watch has pending on the worker's own would hold up
// its start on Windows) and for a bounded time (a still-running one ends with its own job).
void kill_process_trees(std::span<const std::uint32_t> ids) {
  std::vector<std::uint32_t> outside_jobs;
  for (std::uint32_t id : ids) {
    if (!end_process_tree(id)) outside_jobs.push_back(id);
  }
  const std::optional<std::string> system = system_directory();
  if (outside_jobs.empty() || !system) return;
  if (Result<ChildProcess> taskkill =
          start_process(taskkill_command(*system, outside_jobs), Stdio::null_device,
                        Stdio::null_device, Stdio::null_device)) {
    (void)taskkill->wait_for_exit(TASKKILL_WAIT);
  }
}

}  // namespace tw

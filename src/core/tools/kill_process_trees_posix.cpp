#include "core/platform/process.h"
#include "core/tools/kill_process_trees.h"

namespace tw {

// No taskkill here: each decoder leads its own process group, and the group is the tree.
void kill_process_trees(std::span<const std::uint32_t> ids) {
  for (std::uint32_t id : ids) end_process_tree(id);
}

}  // namespace tw

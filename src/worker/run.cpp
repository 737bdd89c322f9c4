#include "worker/run.h"

#include "worker/command_line.h"

namespace tw {

Status run(std::span<const std::string> arguments) {
  Result<RunOptions> options = parse_command_line(arguments);
  if (!options) return fail(std::move(options.error()));
  return {};
}

}  // namespace tw

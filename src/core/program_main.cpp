#include "core/program_main.h"

#include "core/error_exit.h"
#include "core/platform/fail_fast.h"
#include "core/platform/std_streams.h"

namespace tw {

void run_program(ProgramRun run, std::span<const std::string> arguments) {
  open_closed_std_streams();
  install_process_guards();
  Status result = run(arguments);
  if (result) exit_process(0);
  exit_with_error(result.error());
}

}  // namespace tw

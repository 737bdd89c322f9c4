#include "worker/entry.h"

#include "core/program_main.h"
#include "worker/run.h"

namespace tw {

int worker_main(std::vector<std::string> arguments) { run_program(run, arguments); }

}  // namespace tw

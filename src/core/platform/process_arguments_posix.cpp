#include "core/platform/process_arguments.h"

namespace tw {

std::vector<std::string> process_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

}  // namespace tw

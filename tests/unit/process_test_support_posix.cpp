#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "process_test_support.h"

namespace tw::test {

bool process_running(std::uint32_t id) {
  std::ifstream stat("/proc/" + std::to_string(id) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return false;
  std::size_t name_end = text.rfind(')');
  if (name_end == std::string::npos || name_end + 2 >= text.size()) return false;
  const char state = text[name_end + 2];
  return state != 'Z' && state != 'X';
}

std::string own_program_path() { return std::filesystem::read_symlink("/proc/self/exe"); }

void force_end(std::uint32_t id) { ::kill(static_cast<pid_t>(id), SIGKILL); }

}  // namespace tw::test

// command_line_splitter
// Reads Windows command lines, one a line of standard input as a JSON string, and writes the
// arguments the worker's own splitting of its command line gives for each, as a JSON array on a
// line: the far end of the round trip that tests a host's quoting.
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "core/platform/windows_command_line.h"
#include "core/text/utf16.h"

namespace {

int split_lines() {
  std::string line;
  while (std::getline(std::cin, line)) {
    const std::string command_line = nlohmann::json::parse(line).get<std::string>();
    nlohmann::json arguments = nlohmann::json::array();
    for (const std::u16string& argument :
         tw::split_windows_command_line(tw::utf8_to_utf16(command_line))) {
      arguments.push_back(tw::utf16_to_utf8(argument));
    }
    std::cout << arguments.dump() << '\n';
  }
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int, wchar_t**) { return split_lines(); }
#else
int main() { return split_lines(); }
#endif

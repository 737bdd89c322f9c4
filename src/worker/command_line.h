#pragma once
// The worker's command line: a left-to-right walk over the arguments into RunOptions.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/error.h"

namespace tw {

enum class Provider { cpu, cuda };

struct RunOptions {
  std::string model;
  double start = 0.0;
  std::optional<double> end;
  std::uint64_t batch = 1;
  bool exit_on_stdin_close = false;
  Provider provider = Provider::cpu;
  std::string ffmpeg;
  std::string audio;
  bool show_version = false;  // --version: print the version, nothing else
};

// `arguments` are the process's arguments after the program path, in UTF-8. The walk ends at
// --version (where an option may stand) with `show_version` set and nothing else required.
Result<RunOptions> parse_command_line(std::span<const std::string> arguments);

}  // namespace tw

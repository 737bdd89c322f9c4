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
};

// `arguments` are the process's arguments after the program path, in UTF-8.
Result<RunOptions> parse_command_line(std::span<const std::string> arguments);

}  // namespace tw

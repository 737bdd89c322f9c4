#include "process_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/platform/paths.h"

namespace tw::test {

std::string standin_path(std::string_view name) {
  const char* dir = std::getenv("TW_STANDINS");
  if (dir == nullptr) {
    ADD_FAILURE() << "TW_STANDINS is not set";
    return std::string(name);
  }
  std::string file(name);
#ifdef _WIN32
  file += ".exe";
#endif
  return path_utf8(utf8_path(dir) / utf8_path(file));
}

std::string read_all(PipeReader& reader) {
  std::string text;
  std::byte buffer[65536];
  while (true) {
    Result<std::size_t> got = reader.read(buffer);
    if (!got) {
      ADD_FAILURE() << "read failed: " << got.error().chain();
      return text;
    }
    if (*got == 0) return text;
    text.append(reinterpret_cast<const char*>(buffer), *got);
  }
}

std::string read_line(PipeReader& reader) {
  std::string line;
  std::byte byte[1];
  while (true) {
    Result<std::size_t> got = reader.read(byte);
    if (!got || *got == 0) break;
    char c = static_cast<char>(byte[0]);
    if (c == '\n') break;
    line.push_back(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

bool wait_until_gone(std::uint32_t id) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (process_running(id)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace tw::test

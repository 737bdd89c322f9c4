// Stands in for ffmpeg where the real one will not misbehave on demand. It is started with the
// decoder's full argument vector and takes its behaviour from the value after "-i":
//   fail-after-output   35 s of samples, two lines on standard error, exit code 1
//   blank-lines         two empty lines on standard error, exit code 1
//   odd-bytes           1700 samples and one byte more, written 3 bytes at a time, exit code 0
//   flood               "head", 8 MiB of lines, "tail" on standard error, exit code 1
//   endless             samples until the output pipe breaks
//   endless-tree        starts a grandchild that keeps both pipes open, then as endless
//   exit-leaving-tree   one second of samples, then starts a grandchild that keeps both pipes
//                       open and sleeps, exit code 0
//   grandchild          sleeps for five minutes (what endless-tree and exit-leaving-tree start)
//   cwd                 writes its working directory and the value after "-i" to FILE after
//                       its id, exit code 0
//   in-job              exit code 0 when the process was inside a job object from its start
//                       (always on POSIX, which has none); otherwise sleeps for five minutes,
//                       so that a test finds it left behind
// "behaviour:FILE" also writes this process's id (and the grandchild's) to FILE, one a line,
// before anything else. The worker hands the value on as a path made absolute, so the
// behaviour is the name after the last separator before the first colon (a drive's colon aside).
// Sample i of the output is standin_sample(i) below, the same function the tests use.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "grandchild.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Loud pseudo-random samples, different at every index.
std::int16_t standin_sample(std::uint64_t index) {
  return static_cast<std::int16_t>((index * 2654435761u) >> 13);
}

bool write_all(bool to_error, const char* data, std::size_t size) {
  while (size > 0) {
#ifdef _WIN32
    DWORD written = 0;
    HANDLE handle = GetStdHandle(to_error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    const DWORD part = size > 1u << 20 ? 1u << 20 : static_cast<DWORD>(size);
    if (!WriteFile(handle, data, part, &written, nullptr) || written == 0) return false;
#else
    const ssize_t written = write(to_error ? 2 : 1, data, size);
    if (written <= 0) return false;
#endif
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool write_error(const std::string& text) { return write_all(true, text.data(), text.size()); }

std::vector<char> sample_bytes(std::uint64_t first, std::uint64_t count) {
  std::vector<char> bytes;
  bytes.reserve(count * 2);
  for (std::uint64_t i = first; i < first + count; ++i) {
    const auto value = static_cast<std::uint16_t>(standin_sample(i));
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>(value >> 8));
  }
  return bytes;
}

bool write_samples(std::uint64_t count) {
  const auto bytes = sample_bytes(0, count);
  return write_all(false, bytes.data(), bytes.size());
}

int write_endlessly() {
  const std::vector<char> zeros(65536, 0);
  while (write_all(false, zeros.data(), zeros.size())) {
  }
  return 3;
}

unsigned long own_id() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

// Whether this process is inside a job object. Asked before anything else the program does.
bool started_in_a_job() {
#ifdef _WIN32
  BOOL in_job = FALSE;
  return IsProcessInJob(GetCurrentProcess(), nullptr, &in_job) && in_job;
#else
  return true;
#endif
}

int run(const std::vector<std::string>& arguments, bool in_a_job) {
  std::string input;
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == "-i") input = arguments[i + 1];
  }
  const bool drive = input.size() >= 2 && input[1] == ':';
  const std::size_t colon = input.find(':', drive ? 2 : 0);
  const std::string name = input.substr(0, colon);
  const std::string behaviour = name.substr(name.find_last_of("/\\") + 1);
  std::ofstream id_file;
  if (colon != std::string::npos) {
    const std::string path = input.substr(colon + 1);
    id_file.open(std::filesystem::path(std::u8string(path.begin(), path.end())));
    if (!id_file) return 4;
    id_file << own_id() << std::endl;
  }

  if (behaviour == "fail-after-output") {
    if (!write_samples(35 * 16000)) return 3;
    write_error("  first problem\r\nsecond problem \xE2\x9C\x97\n\n");
    return 1;
  }
  if (behaviour == "blank-lines") {
    write_error("\n\n");
    return 1;
  }
  if (behaviour == "odd-bytes") {
    const auto bytes = sample_bytes(0, 1701);
    for (std::size_t at = 0; at < 3401; at += 3) {
      const std::size_t count = at + 3 <= 3401 ? 3 : 3401 - at;
      if (!write_all(false, bytes.data() + at, count)) return 3;
    }
    return 0;
  }
  if (behaviour == "flood") {
    write_error("head\n");
    std::string block;
    for (int i = 0; i < 1024; ++i) block += "flood line " + std::to_string(100000 + i) + "\n";
    for (std::size_t written = 0; written < (8u << 20); written += block.size()) {
      if (!write_error(block)) return 3;
    }
    write_error("tail\n");
    return 1;
  }
  if (behaviour == "endless") return write_endlessly();
  if (behaviour == "endless-tree") {
    const unsigned long grandchild = start_grandchild(L"-i grandchild", std::chrono::minutes(5));
    if (grandchild == 0) return 5;
    if (id_file.is_open()) id_file << grandchild << std::endl;
    id_file.close();
    return write_endlessly();
  }
  if (behaviour == "exit-leaving-tree") {
    if (!write_samples(16000)) return 3;
    const unsigned long grandchild = start_grandchild(L"-i grandchild", std::chrono::minutes(5));
    if (grandchild == 0) return 5;
    if (id_file.is_open()) id_file << grandchild << std::endl;
    return 0;
  }
  if (behaviour == "cwd") {
    const std::u8string directory = std::filesystem::current_path().u8string();
    id_file << std::string(directory.begin(), directory.end()) << "\n" << input << std::endl;
    return id_file ? 0 : 4;
  }
  if (behaviour == "in-job") {
    if (!in_a_job) std::this_thread::sleep_for(std::chrono::minutes(5));
    return 0;
  }
  if (behaviour == "grandchild") {
    std::this_thread::sleep_for(std::chrono::minutes(5));
    return 0;
  }
  write_error("standin_decoder: unknown behaviour " + behaviour + "\n");
  return 2;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  const bool in_a_job = started_in_a_job();
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? static_cast<std::size_t>(size) : 1u, '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, text.data(), size, nullptr, nullptr);
    text.resize(text.size() - 1);
    arguments.push_back(std::move(text));
  }
  return run(arguments, in_a_job);
}
#else
int main(int argc, char** argv) {
  return run(std::vector<std::string>(argv + 1, argv + argc), started_in_a_job());
}
#endif

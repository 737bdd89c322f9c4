// A child for the process tests. Runs its arguments as a list of commands, in order:
//   out TEXT / err TEXT    write TEXT to standard output / error
//   bulk-out N / bulk-err N    write N bytes (byte i is i % 251) to standard output / error
//   args ARG...            write every remaining argument followed by a NUL to standard output
//   cwd                    write the current directory and a newline to standard output
//   pid                    write the own process id and a newline to standard output
//   stdin                  read standard input to its end, write the byte count to standard output
//   sleep SECONDS          sleep
//   processes NAME         Windows: write how many processes run the program file NAME (case
//                          ignored), as the system lists them, and a newline to standard output
//   exit CODE              exit with CODE (the default is 0)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// after windows.h
#include <tlhelp32.h>
#else
#include <unistd.h>
#endif

namespace {

void write(std::FILE* stream, const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

void write_bulk(std::FILE* stream, long count) {
  std::string block;
  for (long i = 0; i < count; ++i) block.push_back(static_cast<char>(i % 251));
  write(stream, block);
}

unsigned long own_id() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

#ifdef _WIN32
int count_processes(const std::string& name) {
  const std::wstring wide(name.begin(), name.end());  // ASCII names only
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    count += _wcsicmp(entry.szExeFile, wide.c_str()) == 0;
  CloseHandle(snapshot);
  return count;
}
#endif

int run(const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& command = args[i];
    const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
    if (command == "out") {
      write(stdout, value), ++i;
    } else if (command == "err") {
      write(stderr, value), ++i;
    } else if (command == "bulk-out") {
      write_bulk(stdout, std::atol(value.c_str())), ++i;
    } else if (command == "bulk-err") {
      write_bulk(stderr, std::atol(value.c_str())), ++i;
    } else if (command == "args") {
      for (++i; i < args.size(); ++i) write(stdout, args[i] + '\0');
    } else if (command == "cwd") {
      std::u8string cwd = std::filesystem::current_path().u8string();
      write(stdout, std::string(cwd.begin(), cwd.end()) + "\n");
    } else if (command == "pid") {
      write(stdout, std::to_string(own_id()) + "\n");
    } else if (command == "stdin") {
      char buffer[4096];
      std::size_t total = 0, got;
      while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) total += got;
      write(stdout, std::to_string(total));
    } else if (command == "sleep") {
      std::this_thread::sleep_for(std::chrono::seconds(std::atol(value.c_str()))), ++i;
#ifdef _WIN32
    } else if (command == "processes") {
      write(stdout, std::to_string(count_processes(value)) + "\n"), ++i;
#endif
    } else if (command == "exit") {
      return std::atoi(value.c_str());
    } else {
      write(stderr, "unknown command: " + command + "\n");
      return 99;
    }
  }
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, text.data(), size, nullptr, nullptr);
    args.push_back(std::move(text));
  }
  return run(args);
}
#else
int main(int argc, char** argv) { return run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif

// A child that starts a grandchild which would outlive it, for the process-tree tests. The mode
// is the last argument, so that a host can start it as the worker (MEDIA comes last):
//   standin_tree          start the grandchild, write its id and a newline, then sleep 60 s
//   standin_tree leave    the same, but exit 0 at once after writing the id
//   standin_tree ... stray    write the ready record, start a grandchild that (on Windows) writes
//                             to standard error without pause for 60 s or until nobody reads it,
//                             and exit 0 at once (a worker whose pipes another process holds)
//   standin_tree grandchild    sleep 60 s (what the grandchild runs)
// The grandchild keeps the standard handles, so the output pipe ends only when it is gone too.

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "grandchild.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr auto LIFETIME = std::chrono::seconds(60);

bool write_line(std::FILE* stream, const std::string& line) {
  return std::fwrite(line.data(), 1, line.size(), stream) == line.size() &&
         std::fflush(stream) == 0;
}

int run(const std::string& mode) {
  const auto started = std::chrono::steady_clock::now();
  if (mode == "stray-grandchild") {
    // Faster than a reader takes it, so that the reader is seldom waiting in a read.
    while (std::chrono::steady_clock::now() - started < LIFETIME && write_line(stderr, "stray\n")) {
    }
    return 0;
  }
  if (mode == "grandchild") {
    std::this_thread::sleep_for(LIFETIME);
    return 0;
  }
  if (mode == "stray") {
    write_line(stdout, "{\"ready\":true}\n");
    return start_grandchild(L"stray-grandchild", LIFETIME) == 0 ? 2 : 0;
  }
  unsigned long id = start_grandchild(L"grandchild", LIFETIME);
  if (id == 0) return 2;
  write_line(stdout, std::to_string(id) + "\n");
  if (mode != "leave") std::this_thread::sleep_for(LIFETIME);
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  std::string mode;
  for (const wchar_t* c = argc > 1 ? argv[argc - 1] : L""; *c; ++c) {
    mode += static_cast<char>(*c);  // the modes are ASCII
  }
  return run(mode);
}
#else
int main(int argc, char** argv) { return run(argc > 1 ? argv[argc - 1] : ""); }
#endif

// A child that starts a grandchild which would outlive it, for the process-tree tests.
//   standin_tree          start the grandchild, write its id and a newline, then sleep 60 s
//   standin_tree leave    the same, but exit 0 at once after writing the id
//   standin_tree grandchild    sleep 60 s (what the grandchild runs)
// The grandchild keeps the standard handles, so the output pipe ends only when it is gone too.

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "grandchild.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr auto LIFETIME = std::chrono::seconds(60);

int run(bool grandchild, bool leave) {
  if (grandchild) {
    std::this_thread::sleep_for(LIFETIME);
    return 0;
  }
  unsigned long id = start_grandchild(L"grandchild", LIFETIME);
  if (id == 0) return 2;
  std::string line = std::to_string(id) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
  if (!leave) std::this_thread::sleep_for(LIFETIME);
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::wstring mode = argc > 1 ? argv[1] : L"";
  return run(mode == L"grandchild", mode == L"leave");
}
#else
int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  return run(mode == "grandchild", mode == "leave");
}
#endif

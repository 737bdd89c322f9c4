// Stands in for transcribe-worker where a host test needs a worker that writes much to standard
// error before its last record. Whatever its arguments, it writes the ready record, 200 KB of
// log lines on standard error (more than a pipe holds, so it waits until the host reads them),
// one words record and the start of another one without its line feed (as a worker ended in the
// middle of a record leaves it), a log line that holds "error: " but does not start with it, then
// its own error line of two lines, the second starting like an error line (as a path with a line
// break can), and exits with status 1.
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

int run() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  std::fputs("{\"ready\":true}\n", stdout);
  std::fflush(stdout);
  std::string block;
  for (int i = 0; i < 100; ++i) block += "library log line " + std::to_string(100000 + i) + "\r\n";
  for (std::size_t written = 0; written < 200000; written += block.size()) {
    std::fwrite(block.data(), 1, block.size(), stderr);
  }
  std::fflush(stderr);
  std::fputs(
      "{\"end\":1.5,\"words\":[{\"end\":1.0,\"start\":0.5,\"text\":\"flood\"}]}\n{\"end\":3.0,\"wo",
      stdout);
  std::fflush(stdout);
  std::fputs(
      "[library] error: a library line\r\nerror: the error line\nerror: and its second line\n",
      stderr);
  std::fflush(stderr);
  return 1;
}

}  // namespace

#ifdef _WIN32
int wmain(int, wchar_t**) { return run(); }
#else
int main() { return run(); }
#endif

#include <sys/syscall.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <string>

#include "core/platform/fail_fast.h"

namespace tw {

void fail_fast(std::string_view fault) {
  const long thread = syscall(SYS_gettid);
  std::string line = "transcribe-worker: fatal internal failure on ";
  line += thread == getpid() ? std::string("the main thread") : "thread " + std::to_string(thread);
  line += ": ";
  line += fault;
  line += '\n';
  // Straight to the descriptor: nothing buffered, no lock that a broken thread might hold.
  for (std::size_t done = 0; done < line.size();) {
    ssize_t n = write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  std::abort();
}

void install_process_guards() {
  std::signal(SIGPIPE, SIG_IGN);
  // An ignored SIGCHLD is inherited across exec from the host; with it the kernel reaps the
  // decoder itself and its exit code is lost.
  std::signal(SIGCHLD, SIG_DFL);
  // Past a file-size limit (ulimit -f) a write fails with EFBIG, reported like a full disk,
  // instead of ending the process without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  install_terminate_handler();
}

}  // namespace tw

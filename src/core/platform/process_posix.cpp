// Child processes on POSIX: fork and exec, with everything the child needs prepared before the
// fork so that the child runs only async-signal-safe calls until exec.

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "core/platform/fail_fast.h"
#include "core/platform/os_error.h"
#include "core/platform/paths.h"
#include "core/platform/process.h"

#if __has_include(<linux/close_range.h>)
#include <linux/close_range.h>
#endif

extern char** environ;

namespace tw {

namespace {

constexpr int EXEC_FAILED_STATUS = 127;

// Children started here and not yet reaped. While a pid is listed it cannot be reused (the
// process or its zombie holds it), so signalling its group is safe; reaping removes it under
// the same lock.
struct LiveChildren {
  std::mutex lock;
  std::unordered_set<pid_t> pids;
};

LiveChildren& live_children() {
  static LiveChildren* children = new LiveChildren;  // never destroyed: used by any thread
  return *children;
}

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// The file descriptors of one start, closed on every path out of start_process.
struct StartFds {
  std::array<int, 3> child_ends{-1, -1, -1};   // what becomes the child's 0, 1 and 2
  std::array<int, 3> worker_ends{-1, -1, -1};  // reading ends of pipes (only 1 and 2)
  std::array<int, 2> exec_report{-1, -1};      // the child writes its errno here if exec fails

  ~StartFds() {
    for (int& fd : child_ends) close_fd(fd);
    for (int& fd : worker_ends) close_fd(fd);
    for (int& fd : exec_report) close_fd(fd);
  }
};

Status open_stdio(Stdio choice, int slot, StartFds& fds) {
  switch (choice) {
    case Stdio::inherit:
      return {};
    case Stdio::null_device: {
      int fd = ::open("/dev/null", (slot == 0 ? O_RDONLY : O_WRONLY) | O_CLOEXEC);
      if (fd < 0) return fail(last_os_error());
      fds.child_ends[slot] = fd;
      return {};
    }
    case Stdio::pipe: {
      if (slot == 0) fail_fast("a pipe is offered for a child's output only");
      int ends[2];
      if (::pipe2(ends, O_CLOEXEC) != 0) return fail(last_os_error());
      fds.child_ends[slot] = ends[1];
      fds.worker_ends[slot] = ends[0];
      return {};
    }
  }
  fail_fast("unknown standard handle choice");
}

// The paths exec tries in order: the program itself when it contains a slash, otherwise each
// PATH entry joined with it (an empty entry is the current directory, as execvp has it). Each
// is made absolute here: the child changes directory before exec, and a relative program means
// the worker's current directory.
Result<std::vector<std::string>> exec_candidates(const std::string& program) {
  if (program.find('/') != std::string::npos) {
    Result<std::string> path = absolute_path(program);
    if (!path) return fail(std::move(path.error()));
    return std::vector<std::string>{std::move(*path)};
  }
  std::vector<std::string> candidates;
  if (program.empty()) return candidates;
  const char* search = std::getenv("PATH");
  std::string_view entries = search != nullptr ? search : "/bin:/usr/bin";
  while (true) {
    std::size_t colon = entries.find(':');
    std::string_view dir = entries.substr(0, colon);
    if (dir.empty()) dir = ".";
    std::string path_in_dir;
    path_in_dir.append(dir).append("/").append(program);
    Result<std::string> path = absolute_path(path_in_dir);
    if (!path) return fail(std::move(path.error()));
    candidates.push_back(std::move(*path));
    if (colon == std::string_view::npos) break;
    entries.remove_prefix(colon + 1);
  }
  return candidates;
}

}  // namespace

bool program_found(const std::string& program) {
  Result<std::vector<std::string>> candidates = exec_candidates(program);
  if (!candidates) return false;
  return std::ranges::any_of(*candidates, [](const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
  });
}

namespace {

[[noreturn]] void report_and_exit(int report_fd, int error) {
  ssize_t ignored = ::write(report_fd, &error, sizeof error);
  (void)ignored;
  ::_exit(EXEC_FAILED_STATUS);
}

// The forked child: async-signal-safe calls only.
[[noreturn]] void run_child(pid_t parent, const StartFds& fds, const char* working_directory,
                            const std::vector<char*>& candidates, char* const* argv) {
  const int report = fds.exec_report[1];
  // Dies with the thread that started it, which covers the worker being killed; a parent that
  // is already gone would never send the signal.
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) report_and_exit(report, errno);
  if (::getppid() != parent) ::_exit(EXEC_FAILED_STATUS);
  if (::setpgid(0, 0) != 0) report_and_exit(report, errno);

  // Move the chosen ends above 2 first, so that placing one cannot overwrite another.
  int moved[3] = {-1, -1, -1};
  for (int slot = 0; slot < 3; ++slot) {
    if (fds.child_ends[slot] < 0) continue;
    moved[slot] = ::fcntl(fds.child_ends[slot], F_DUPFD_CLOEXEC, 3);
    if (moved[slot] < 0) report_and_exit(report, errno);
  }
  for (int slot = 0; slot < 3; ++slot) {
    if (moved[slot] >= 0 && ::dup2(moved[slot], slot) < 0) report_and_exit(report, errno);
  }

  // The worker ignores SIGPIPE and SIGXFSZ and threads may block signals; the program starts
  // clean.
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &default_action, nullptr);
  ::sigaction(SIGXFSZ, &default_action, nullptr);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);

#ifdef CLOSE_RANGE_CLOEXEC
  // Descriptors some library opened without close-on-exec stay with the worker.
  ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
#endif

  if (working_directory != nullptr && ::chdir(working_directory) != 0) {
    report_and_exit(report, errno);
  }
  // execvp's search: go on past missing and inaccessible entries, report EACCES if any entry
  // was inaccessible, stop at any other error.
  int error = ENOENT;
  bool seen_access_error = false;
  for (char* path : candidates) {
    ::execve(path, argv, environ);
    error = errno;
    if (error == EACCES) {
      seen_access_error = true;
    } else if (error != ENOENT && error != ENOTDIR && error != ELOOP && error != ENAMETOOLONG) {
      break;
    }
  }
  if (seen_access_error && (error == ENOENT || error == ENOTDIR)) error = EACCES;
  report_and_exit(report, error);
}

int exit_code_of(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}

// Reaps a child whose exit was observed without reaping it.
int reap(pid_t pid) {
  int status = 0;
  pid_t reaped;
  do {
    reaped = ::waitpid(pid, &status, 0);
  } while (reaped < 0 && errno == EINTR);
  return reaped == pid ? exit_code_of(status) : 1;
}

}  // namespace

class ProcessStarter {
 public:
  static Result<ChildProcess> start(const ProcessCommand& command, Stdio input, Stdio output,
                                    Stdio error);
};

Result<ChildProcess> ProcessStarter::start(const ProcessCommand& command, Stdio input, Stdio output,
                                           Stdio error) {
  Result<std::vector<std::string>> candidates = exec_candidates(command.program);
  if (!candidates) return fail(std::move(candidates.error()));
  if (candidates->empty()) return fail(os_error(ENOENT));

  std::vector<std::string> arguments;
  arguments.reserve(command.arguments.size() + 1);
  arguments.push_back(command.program);
  arguments.insert(arguments.end(), command.arguments.begin(), command.arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<char*> candidate_paths;
  for (std::string& path : *candidates) candidate_paths.push_back(path.data());
  const char* working_directory =
      command.working_directory ? command.working_directory->c_str() : nullptr;

  StartFds fds;
  const Stdio choices[3] = {input, output, error};
  for (int slot = 0; slot < 3; ++slot) {
    if (Status opened = open_stdio(choices[slot], slot, fds); !opened)
      return fail(std::move(opened.error()));
  }
  if (::pipe2(fds.exec_report.data(), O_CLOEXEC) != 0) return fail(last_os_error());

  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) run_child(parent, fds, working_directory, candidate_paths, argv.data());
  if (pid < 0) return fail(last_os_error());
  // Also set here, so the group exists when start_process returns whatever the child's pace
  // (it fails harmlessly once the child has set it itself and gone on to exec).
  ::setpgid(pid, pid);
  {
    std::lock_guard guard(live_children().lock);
    live_children().pids.insert(pid);
  }

  close_fd(fds.exec_report[1]);
  for (int& fd : fds.child_ends) close_fd(fd);
  int exec_error = 0;
  ssize_t got;
  do {
    got = ::read(fds.exec_report[0], &exec_error, sizeof exec_error);
  } while (got < 0 && errno == EINTR);

  ChildProcess child;
  child.id_ = static_cast<std::uint32_t>(pid);
  if (got != 0) {
    // The child never reached the program: reap it and report why.
    if (got != static_cast<ssize_t>(sizeof exec_error)) exec_error = got < 0 ? errno : EIO;
    Result<int> ignored = child.wait();
    (void)ignored;
    return fail(os_error(exec_error));
  }
  child.output_ = PipeReader(std::exchange(fds.worker_ends[1], -1));
  child.error_output_ = PipeReader(std::exchange(fds.worker_ends[2], -1));
  return child;
}

Result<ChildProcess> start_process(const ProcessCommand& command, Stdio input, Stdio output,
                                   Stdio error) {
  std::lock_guard starting(process_start_lock());
  return ProcessStarter::start(command, input, output, error);
}

bool end_process_tree(std::uint32_t id) {
  const pid_t pid = static_cast<pid_t>(id);
  if (pid <= 0) return false;
  std::lock_guard guard(live_children().lock);
  return live_children().pids.contains(pid) && (::kill(-pid, SIGKILL) == 0 || errno == ESRCH);
}

Result<std::size_t> PipeReader::read(std::span<std::byte> buffer) {
  if (handle_ == NO_HANDLE) return 0;
  while (true) {
    ssize_t got = ::read(static_cast<int>(handle_), buffer.data(), buffer.size());
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return fail(last_os_error());
  }
}

void PipeReader::close() {
  if (handle_ != NO_HANDLE) ::close(static_cast<int>(handle_));
  handle_ = NO_HANDLE;
}

void ChildProcess::release() {
  output_.close();
  error_output_.close();
  if (id_ != 0 && !waited_) {
    end_process_tree(id_);
    Result<int> ignored = wait();
    (void)ignored;
  }
  id_ = 0;
}

PipeReader ChildProcess::take_output() { return std::move(output_); }
PipeReader ChildProcess::take_error_output() { return std::move(error_output_); }

Result<int> ChildProcess::wait() {
  if (waited_ || id_ == 0) return exit_code_;
  const pid_t pid = static_cast<pid_t>(id_);
  // Wait without reaping, then reap under the lock: the pid leaves the live list at the moment
  // it may be reused.
  siginfo_t info{};
  int waited;
  do {
    waited = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
  } while (waited != 0 && errno == EINTR);
  if (waited != 0) {
    const int code = errno;
    // Reaped elsewhere (ECHILD) or beyond our reach: either way its id may be reused from now
    // on, so no later kill may signal it.
    std::lock_guard guard(live_children().lock);
    live_children().pids.erase(pid);
    return fail(os_error(code));
  }
  std::lock_guard guard(live_children().lock);
  live_children().pids.erase(pid);
  exit_code_ = reap(pid);
  waited_ = true;
  return exit_code_;
}

bool ChildProcess::wait_for_exit(std::chrono::milliseconds limit) {
  if (waited_ || id_ == 0) return true;
  return has_exited(limit) && wait().has_value();
}

bool ChildProcess::has_exited(std::chrono::milliseconds limit) const {
  if (waited_ || id_ == 0) return true;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    siginfo_t info{};
    // WNOWAIT: the exit is only looked at; wait() reaps it under the lock, as always.
    if (::waitid(P_PID, static_cast<id_t>(id_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (info.si_pid != 0) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void ChildProcess::terminate() {
  if (id_ == 0 || waited_) return;
  const pid_t pid = static_cast<pid_t>(id_);
  std::lock_guard guard(live_children().lock);
  if (live_children().pids.contains(pid)) ::kill(pid, SIGKILL);
}

}  // namespace tw

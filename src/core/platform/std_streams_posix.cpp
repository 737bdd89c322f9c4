#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <cerrno>

#include "core/platform/os_error.h"
#include "core/platform/process.h"
#include "core/platform/std_streams.h"

namespace tw {
namespace {

// A standard handle inherited in non-blocking mode (the description is shared with whoever set
// it) answers EAGAIN while its pipe is full or empty: that is a wait, not a failure or an end.
void wait_until_ready(int fd, short events) {
  pollfd ready{.fd = fd, .events = events, .revents = 0};
  while (::poll(&ready, 1, -1) < 0 && errno == EINTR) {
  }
}

// The standard streams found closed at the start, by descriptor bit; written once, before any
// thread starts.
unsigned closed_at_start = 0;

bool was_closed(int fd) { return (closed_at_start & (1u << fd)) != 0; }

bool would_block() { return errno == EAGAIN || errno == EWOULDBLOCK; }

// Writes all of `bytes` to `fd`; a closed descriptor discards them when `missing_discards`.
Status write_all(int fd, std::string_view bytes, bool missing_discards) {
  if (was_closed(fd)) {
    if (missing_discards) return {};
    return fail(os_error(EBADF));
  }
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (would_block()) {
        wait_until_ready(fd, POLLOUT);
        continue;
      }
      if (errno == EBADF && missing_discards) return {};
      return fail(last_os_error());
    }
    if (n == 0) return fail("failed to write the buffered data");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

std::mutex& stderr_lock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

void open_closed_std_streams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is taken, and the lower streams are open by now.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
    closed_at_start |= 1u << fd;
  }
}

Status write_stdout(std::string_view bytes) {
  return write_all(STDOUT_FILENO, bytes, true);  // no standard output at all: discarded
}

Status write_stdout_or_error(std::string_view bytes) {
  return write_all(STDOUT_FILENO, bytes, false);
}

void write_stderr(std::string_view bytes) { (void)write_stderr_or_error(bytes); }

Status write_stderr_or_error(std::string_view bytes) {
  if (output_ended()) return {};
  std::lock_guard<std::mutex> hold(stderr_lock());
  return write_all(STDERR_FILENO, bytes, false);
}

bool stderr_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

std::size_t read_stdin(std::span<char> buffer) {
  Result<std::size_t> got = read_stdin_or_error(buffer);
  return got ? *got : 0;
}

Result<std::size_t> read_stdin_or_error(std::span<char> buffer) {
  for (;;) {
    ssize_t n = read(STDIN_FILENO, buffer.data(), buffer.size());
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EBADF) return 0;  // no standard input at all
    if (would_block()) {
      wait_until_ready(STDIN_FILENO, POLLIN);
    } else if (errno != EINTR) {
      return fail(last_os_error());
    }
  }
}

void exit_process(int status) {
  // A record being written may complete; none starts after this, and no child is left half-started.
  end_output();
  stop_process_starts();
  _exit(status);
}

}  // namespace tw

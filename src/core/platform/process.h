#pragma once
// Child processes with redirected standard handles.
//
// Every started process leads a process tree that can be ended as a whole by its id
// (end_process_tree): on POSIX it leads its own process group; on Windows it is the first member
// of a job object of its own, which the processes it starts join. A Windows job is created with
// kill-on-close, so nothing the child started outlives its ChildProcess or the worker itself.
// On POSIX the child gets SIGKILL when the *thread* that started it ends (PR_SET_PDEATHSIG, which
// also covers the worker being killed); start decoders from a thread that lives until the
// decoder has been waited for. Grandchildren are not covered by that signal.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <utility>

#include "core/error.h"
#include "core/platform/process_command.h"

namespace tw {

enum class Stdio { inherit, null_device, pipe };

// The worker's reading end of a child's output pipe. Move-only; closed on destruction.
class PipeReader {
 public:
  PipeReader() = default;  // no pipe: every read is the end
  ~PipeReader();
  PipeReader(PipeReader&& other) noexcept;
  PipeReader& operator=(PipeReader&& other) noexcept;
  PipeReader(const PipeReader&) = delete;
  PipeReader& operator=(const PipeReader&) = delete;

  // Blocks until some bytes arrive. 0 is the end of the output (every writer has closed its
  // end; a broken pipe on Windows); a failed read is the OS error.
  Result<std::size_t> read(std::span<std::byte> buffer);
  void close();
  bool is_open() const { return handle_ != NO_HANDLE; }

 private:
  friend class ChildProcess;
  friend class ProcessStarter;
  static constexpr std::intptr_t NO_HANDLE = -1;  // fd -1, INVALID_HANDLE_VALUE
  explicit PipeReader(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_ = NO_HANDLE;
};

// A started process. Move-only. Destroying one that has not been waited for ends its tree and
// waits for it, so a child never outlives its owner unnoticed. On Windows destroying one also
// closes its job, which ends whatever it started that still runs. One thread uses it at a time
// (other threads reach the tree by id through end_process_tree).
class ChildProcess {
 public:
  ChildProcess() = default;  // no process
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  std::uint32_t id() const { return id_; }

  // The reading ends of the output and error pipes (Stdio::pipe); taken once. Without a pipe,
  // or when taken before, the reader is empty.
  PipeReader take_output();
  PipeReader take_error_output();

  // Waits for the process to exit and gives its exit code. The first call waits; later calls
  // give the same code again. POSIX: a process ended by signal N gives 128 + N. With no process
  // it gives 0.
  Result<int> wait();

  // Waits at most `limit` for the process to exit: true when it has (wait() then gives its exit
  // code at once), false while it still runs or when waiting failed.
  bool wait_for_exit(std::chrono::milliseconds limit);

  // Waits at most `limit` for the process to exit, leaving its exit code to wait(): until then
  // its tree can still be ended by id (end_process_tree), which matters once the process has
  // exited while what it started lives on. The one member a second thread may call while the
  // owner reads the pipes; the owner neither waits for, terminates nor releases the process
  // until that thread is done with it.
  bool has_exited(std::chrono::milliseconds limit) const;

  // Forces the process itself (not its tree) to end: exit code 1 on Windows, SIGKILL on POSIX.
  // Does nothing once it has been waited for, or on POSIX once a wait has failed (its id may
  // have been reused); failures (it has already exited) are ignored.
  void terminate();

 private:
  friend class ProcessStarter;
  void release();

  std::uint32_t id_ = 0;
  std::intptr_t handle_ = -1;  // Windows: the process handle; unused on POSIX
  bool waited_ = false;
  int exit_code_ = 0;
  PipeReader output_;
  PipeReader error_output_;
};

// Starts `command` with the given standard handles: inherit (the worker's own; the null device
// on Windows when the worker has none), the null device, or (output and error only) a new pipe
// whose reading end the ChildProcess holds. A program path without a separator is searched for
// as the platform does (POSIX: on PATH; Windows: CreateProcessW's rules for the application
// name, i.e. the worker's current directory, no extension added); a relative path with one is
// taken from the worker's current directory, not from the command's working directory.
// Fails with the OS error, e.g. "... (os error 2)" for a missing program.
Result<ChildProcess> start_process(const ProcessCommand& command, Stdio input, Stdio output,
                                   Stdio error);

// Whether start_process would find a file to run for `program`, searched for as it searches
// (POSIX: a regular file among the candidates on PATH; Windows: the application name as given).
bool program_found(const std::string& program);

// Ends the tree of a process started by start_process whose ChildProcess still exists:
// TerminateJobObject on its job (Windows), SIGKILL to its process group (POSIX, only until it
// has been waited for, since its id may be reused after that). Any other id is ignored. True
// when the tree was ended (or was already gone), false for an id it does not hold or when the
// system refused. Safe to call from any thread.
bool end_process_tree(std::uint32_t id);

// Lets a process start that is under way finish (for a bounded time) and blocks every later one,
// for the rest of the process's life. Called on the way out: a Windows child is created
// suspended and resumed once it is in its job, so an exit in between would leave it suspended
// and outside any job for ever.
void stop_process_starts();

// Held by start_process from creation until the child runs in its job.
std::timed_mutex& process_start_lock();

}  // namespace tw

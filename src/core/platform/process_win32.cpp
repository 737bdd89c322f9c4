// Child processes on Windows: CreateProcessW with an explicit list of inherited handles, each
// child the first member of a job object of its own. Batch files are refused.

#include <windows.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/platform/empty_reads.h"
#include "core/platform/fail_fast.h"
#include "core/platform/os_error.h"
#include "core/platform/pipe_writer_win32.h"
#include "core/platform/process.h"
#include "core/platform/windows_command_line.h"
#include "core/text/utf16.h"

namespace tw {

static_assert(CREATE_NO_WINDOW_FLAG == CREATE_NO_WINDOW);

namespace {

constexpr DWORD PIPE_BUFFER_BYTES = 65536;

// The job object of every started child whose ChildProcess exists, by process id, so that a
// tree can be ended by id from any thread (the stdin watch knows ids only). An entry is added
// when the child starts and removed, and its job closed, when the ChildProcess is destroyed;
// the process handle held until then keeps the id from being reused.
struct Jobs {
  std::mutex lock;
  std::unordered_map<DWORD, HANDLE> by_id;
};

Jobs& jobs() {
  static Jobs* table = new Jobs;  // never destroyed: used by any thread
  return *table;
}

HANDLE as_handle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::intptr_t as_value(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

std::wstring wide(std::string_view utf8) {
  std::u16string text = utf8_to_utf16(utf8);
  return std::wstring(text.begin(), text.end());
}

class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() { reset(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  HANDLE get() const { return handle_; }
  HANDLE release() { return std::exchange(handle_, nullptr); }
  void reset(HANDLE handle = nullptr) {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

Result<HANDLE> open_null_device() {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE device =
      CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inheritable, OPEN_EXISTING, 0, nullptr);
  if (device == INVALID_HANDLE_VALUE) return fail(last_os_error());
  return device;
}

// The handle the child gets in one slot, inheritable and owned by `child_end`; for a pipe the
// worker's end, not inheritable, goes to `worker_end`. Every slot gets a handle of its own
// (the inheritance list takes each handle once).
Status prepare_stdio(Stdio choice, DWORD standard_slot, OwnedHandle& child_end,
                     OwnedHandle& worker_end) {
  switch (choice) {
    case Stdio::inherit: {
      HANDLE own = GetStdHandle(standard_slot);
      HANDLE copy = nullptr;
      if (own != nullptr && own != INVALID_HANDLE_VALUE &&
          DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                          DUPLICATE_SAME_ACCESS)) {
        child_end.reset(copy);
        return {};
      }
      // The worker has no such handle: the child reads nothing and writes nowhere instead.
      [[fallthrough]];
    }
    case Stdio::null_device: {
      Result<HANDLE> device = open_null_device();
      if (!device) return fail(std::move(device.error()));
      child_end.reset(*device);
      return {};
    }
    case Stdio::pipe: {
      if (standard_slot == STD_INPUT_HANDLE)
        fail_fast("a pipe is offered for a child's output only");
      HANDLE read_end = nullptr;
      HANDLE write_end = nullptr;
      if (!CreatePipe(&read_end, &write_end, nullptr, PIPE_BUFFER_BYTES)) {
        return fail(last_os_error());
      }
      worker_end.reset(read_end);
      child_end.reset(write_end);
      if (!SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        return fail(last_os_error());
      }
      return {};
    }
  }
  fail_fast("unknown standard handle choice");
}

// Closing the job ends its processes; so does a crash in any of them (ffmpeg parses untrusted
// media): it ends at once, never held up by Windows Error Reporting while the worker waits.
Result<HANDLE> create_kill_on_close_job() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);  // not inheritable
  if (job == nullptr) return fail(last_os_error());
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    Error error = last_os_error();
    CloseHandle(job);
    return fail(std::move(error));
  }
  return job;
}

// What a child starts with besides its command: inheritance limited to the three standard
// handles (another child may be started at the same time, and it must not receive this one's
// pipe ends) and, where the system takes it (Windows 10 and Server 2016 on), its job, so that
// it is inside the job from its first instruction.
class StartAttributes {
 public:
  Status init(std::array<HANDLE, 3>& handles, HANDLE& job) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 2, 0, &size);
    storage_ = std::make_unique<std::byte[]>(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
    if (!InitializeProcThreadAttributeList(list, 2, 0, &size)) return fail(last_os_error());
    list_ = list;
    if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                   handles.size() * sizeof(HANDLE), nullptr, nullptr)) {
      return fail(last_os_error());
    }
    // Refused by older systems: the child is then started suspended and put in the job first.
    job_listed_ = UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job,
                                            sizeof(HANDLE), nullptr, nullptr);
    return {};
  }
  ~StartAttributes() {
    if (list_ != nullptr) DeleteProcThreadAttributeList(list_);
  }
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }
  bool job_listed() const { return job_listed_; }

 private:
  std::unique_ptr<std::byte[]> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
  bool job_listed_ = false;
};

}  // namespace

class ProcessStarter {
 public:
  static Result<ChildProcess> start(const ProcessCommand& command, Stdio input, Stdio output,
                                    Stdio error);
};

Result<ChildProcess> ProcessStarter::start(const ProcessCommand& command, Stdio input, Stdio output,
                                           Stdio error) {
  // No quoting survives cmd.exe's second parse: a media path could run commands of its own.
  if (is_batch_file_name(utf8_to_utf16(command.program))) {
    return fail(command.program +
                " is a batch file: Windows would run it through cmd.exe, which reads its "
                "arguments as commands");
  }
  const std::wstring program = wide(command.program);
  std::vector<std::u16string> arguments;
  for (const std::string& argument : command.arguments)
    arguments.push_back(utf8_to_utf16(argument));
  std::u16string line = encode_windows_command_line(utf8_to_utf16(command.program), arguments);
  std::wstring mutable_line(line.begin(), line.end());  // CreateProcessW may write into it
  std::wstring working_directory;
  if (command.working_directory) working_directory = wide(*command.working_directory);

  OwnedHandle child_ends[3];
  OwnedHandle worker_ends[3];
  const Stdio choices[3] = {input, output, error};
  const DWORD slots[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  for (int i = 0; i < 3; ++i) {
    if (Status prepared = prepare_stdio(choices[i], slots[i], child_ends[i], worker_ends[i]);
        !prepared) {
      return fail(std::move(prepared.error()));
    }
  }
  Result<HANDLE> created_job = create_kill_on_close_job();
  if (!created_job) return fail(std::move(created_job.error()));
  OwnedHandle job(*created_job);
  HANDLE job_handle = job.get();  // the attribute list points at it until the child exists

  std::array<HANDLE, 3> inherited = {child_ends[0].get(), child_ends[1].get(), child_ends[2].get()};
  StartAttributes attributes;
  if (Status prepared = attributes.init(inherited, job_handle); !prepared)
    return fail(std::move(prepared.error()));

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = inherited[0];
  startup.StartupInfo.hStdOutput = inherited[1];
  startup.StartupInfo.hStdError = inherited[2];
  startup.lpAttributeList = attributes.get();
  // Outside a job only while suspended, so that nothing it starts can escape the job. A worker
  // killed in that moment (by its host) leaves it suspended for ever: hence the job attribute.
  const DWORD suspended = attributes.job_listed() ? 0 : CREATE_SUSPENDED;
  const DWORD flags = command.creation_flags | suspended | EXTENDED_STARTUPINFO_PRESENT |
                      CREATE_UNICODE_ENVIRONMENT;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), mutable_line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                      working_directory.empty() ? nullptr : working_directory.c_str(),
                      &startup.StartupInfo, &info)) {
    return fail(last_os_error());
  }
  OwnedHandle process(info.hProcess);
  OwnedHandle thread(info.hThread);
  for (OwnedHandle& end : child_ends) end.reset();  // the child has its copies

  if (!attributes.job_listed() && !AssignProcessToJobObject(job.get(), process.get())) {
    Error failure = last_os_error();
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), INFINITE);
    return fail(std::move(failure));
  }
  {
    std::lock_guard guard(jobs().lock);
    jobs().by_id[info.dwProcessId] = job.release();
  }
  ChildProcess child;
  child.id_ = info.dwProcessId;
  child.handle_ = as_value(process.release());
  if (suspended != 0 && ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
    Error failure = last_os_error();
    return fail(std::move(failure));  // `child` ends the job and its process on the way out
  }
  if (worker_ends[1].get() != nullptr)
    child.output_ = PipeReader(as_value(worker_ends[1].release()));
  if (worker_ends[2].get() != nullptr) {
    child.error_output_ = PipeReader(as_value(worker_ends[2].release()));
  }
  return child;
}

Result<ChildProcess> start_process(const ProcessCommand& command, Stdio input, Stdio output,
                                   Stdio error) {
  std::lock_guard starting(process_start_lock());
  return ProcessStarter::start(command, input, output, error);
}

bool program_found(const std::string& program) {
  // CreateProcessW's application name: no search and no extension added.
  const DWORD attributes = GetFileAttributesW(wide(program).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool end_process_tree(std::uint32_t id) {
  std::lock_guard guard(jobs().lock);
  auto entry = jobs().by_id.find(id);
  return entry != jobs().by_id.end() && TerminateJobObject(entry->second, 1);
}

Result<std::size_t> PipeReader::read(std::span<std::byte> buffer) {
  if (handle_ == NO_HANDLE || buffer.empty()) return 0;
  const HANDLE pipe = as_handle(handle_);
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), MAXDWORD));
  const auto read_once = [&]() -> Result<std::size_t> {
    DWORD got = 0;
    if (!ReadFile(pipe, buffer.data(), wanted, &got, nullptr)) {
      const DWORD code = GetLastError();
      if (code == ERROR_BROKEN_PIPE) return 0;  // every writer has closed its end
      return fail(os_error(static_cast<int>(code)));
    }
    return static_cast<std::size_t>(got);
  };
  return read_past_empty_writes(true, read_once, [&] { return pipe_writer_gone(pipe); });
}

void PipeReader::close() {
  if (handle_ != NO_HANDLE) CloseHandle(as_handle(handle_));
  handle_ = NO_HANDLE;
}

void ChildProcess::release() {
  output_.close();
  error_output_.close();
  if (handle_ == -1) return;
  if (!waited_) {
    end_process_tree(id_);
    Result<int> ignored = wait();
    (void)ignored;
  }
  HANDLE job = nullptr;
  {
    std::lock_guard guard(jobs().lock);
    auto entry = jobs().by_id.find(id_);
    if (entry != jobs().by_id.end()) {
      job = entry->second;
      jobs().by_id.erase(entry);
    }
  }
  // Closing the kill-on-close job also ends anything the child started that still runs.
  if (job != nullptr) CloseHandle(job);
  CloseHandle(as_handle(handle_));
  handle_ = -1;
  id_ = 0;
}

PipeReader ChildProcess::take_output() { return std::move(output_); }
PipeReader ChildProcess::take_error_output() { return std::move(error_output_); }

Result<int> ChildProcess::wait() {
  if (waited_ || handle_ == -1) return exit_code_;
  if (WaitForSingleObject(as_handle(handle_), INFINITE) == WAIT_FAILED) {
    return fail(last_os_error());
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(as_handle(handle_), &code)) return fail(last_os_error());
  exit_code_ = static_cast<int>(code);
  waited_ = true;
  return exit_code_;
}

bool ChildProcess::wait_for_exit(std::chrono::milliseconds limit) {
  if (waited_ || handle_ == -1) return true;
  return has_exited(limit) && wait().has_value();  // the wait returns at once
}

bool ChildProcess::has_exited(std::chrono::milliseconds limit) const {
  if (waited_ || handle_ == -1) return true;
  const DWORD milliseconds =
      static_cast<DWORD>(std::clamp<std::int64_t>(limit.count(), 0, MAXDWORD - 1));
  return WaitForSingleObject(as_handle(handle_), milliseconds) == WAIT_OBJECT_0;
}

void ChildProcess::terminate() {
  if (handle_ == -1 || waited_) return;
  TerminateProcess(as_handle(handle_), 1);
}

}  // namespace tw

// pipe_host MODE PROGRAM [ARGUMENT...]
// A small Win32 host that gives PROGRAM standard handles of a kind other than CreatePipe's
// plain ones: it copies what PROGRAM writes to standard output onto its own, keeps PROGRAM's
// standard input open (writing nothing more) until PROGRAM has exited, and exits with its exit
// code (unless the mode closes standard input). Standard error is the host's own.
//   message-stdin   standard input is a message-mode named pipe, read in message mode, that
//                   carries three messages of 20000 bytes (more than one read takes)
//   nowait-stdin    standard input is an empty pipe whose reading end is in non-blocking mode
//                   (PIPE_NOWAIT, as MSYS and Cygwin shells make them)
//   nowait-stdin-closed   the same, but the host closes its end as soon as PROGRAM has started
//   nowait-stdout   standard output is a pipe of 64 bytes whose writing end is in non-blocking
//                   mode; the host reads only what is already there, so a longer write finds
//                   it full
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/platform/windows_command_line.h"

namespace {

constexpr DWORD MESSAGE_BYTES = 20000;
constexpr int MESSAGES = 3;
constexpr DWORD SMALL_PIPE_BYTES = 64;

struct ChildHandles {
  HANDLE input = nullptr;  // the child's ends, inheritable
  HANDLE output = nullptr;
  HANDLE keep_open = nullptr;  // the host's end of the child's standard input
  HANDLE read_output = nullptr;
};

bool set_mode(HANDLE pipe, DWORD mode) {
  return SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr) != 0;
}

bool plain_pipe(HANDLE& read_end, HANDLE& write_end, DWORD size) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  return CreatePipe(&read_end, &write_end, &inheritable, size) != 0;
}

bool message_pipe(ChildHandles& handles) {
  const std::wstring name = L"\\\\.\\pipe\\pipe-host-" + std::to_wstring(GetCurrentProcessId());
  handles.keep_open = CreateNamedPipeW(
      name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
      MESSAGES * MESSAGE_BYTES, MESSAGES * MESSAGE_BYTES, 0, nullptr);
  if (handles.keep_open == INVALID_HANDLE_VALUE) return false;
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  handles.input = CreateFileW(name.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, &inheritable,
                              OPEN_EXISTING, 0, nullptr);
  if (handles.input == INVALID_HANDLE_VALUE || !set_mode(handles.input, PIPE_READMODE_MESSAGE)) {
    return false;
  }
  const std::vector<char> message(MESSAGE_BYTES, 'm');
  for (int i = 0; i < MESSAGES; ++i) {
    DWORD written = 0;
    if (!WriteFile(handles.keep_open, message.data(), MESSAGE_BYTES, &written, nullptr)) {
      return false;
    }
  }
  return true;
}

bool make_handles(const std::wstring& mode, ChildHandles& handles) {
  if (mode == L"message-stdin") {
    return message_pipe(handles) && plain_pipe(handles.read_output, handles.output, 0);
  }
  if (mode == L"nowait-stdin" || mode == L"nowait-stdin-closed") {
    return plain_pipe(handles.input, handles.keep_open, 0) &&
           set_mode(handles.input, PIPE_READMODE_BYTE | PIPE_NOWAIT) &&
           plain_pipe(handles.read_output, handles.output, 0);
  }
  if (mode == L"nowait-stdout") {
    return plain_pipe(handles.input, handles.keep_open, 0) &&
           plain_pipe(handles.read_output, handles.output, SMALL_PIPE_BYTES) &&
           set_mode(handles.output, PIPE_READMODE_BYTE | PIPE_NOWAIT);
  }
  return false;
}

// The host's own ends stay with the host.
bool prepare(const std::wstring& mode, ChildHandles& handles) {
  return make_handles(mode, handles) &&
         SetHandleInformation(handles.keep_open, HANDLE_FLAG_INHERIT, 0) &&
         SetHandleInformation(handles.read_output, HANDLE_FLAG_INHERIT, 0);
}

// An inheritable copy of the host's standard error for the child.
HANDLE inheritable_error() {
  HANDLE own = GetStdHandle(STD_ERROR_HANDLE);
  HANDLE copy = nullptr;
  if (own == nullptr || own == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return own;
  }
  return copy;
}

// Copies the child's output without ever leaving a read pending (a pending read would take a
// write that the pipe itself has no room for), until the child has exited and nothing is left.
void copy_output(HANDLE output, HANDLE child) {
  std::vector<char> buffer(65536);
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(output, nullptr, 0, nullptr, &available, nullptr)) return;
    if (available == 0) {
      if (WaitForSingleObject(child, 0) == WAIT_OBJECT_0) {
        if (PeekNamedPipe(output, nullptr, 0, nullptr, &available, nullptr) && available == 0)
          return;
        continue;
      }
      Sleep(5);
      continue;
    }
    DWORD got = 0;
    if (!ReadFile(output, buffer.data(), std::min<DWORD>(available, buffer.size()), &got, nullptr))
      return;
    std::fwrite(buffer.data(), 1, got, stdout);
    std::fflush(stdout);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: pipe_host MODE PROGRAM [ARGUMENT...]\n", stderr);
    return 120;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // the child's bytes unchanged
  ChildHandles handles;
  if (!prepare(argv[1], handles)) {
    std::fprintf(stderr, "pipe_host: cannot prepare %ls: error %lu\n", argv[1], GetLastError());
    return 121;
  }
  std::vector<std::u16string> arguments;
  for (int i = 3; i < argc; ++i) arguments.emplace_back(reinterpret_cast<char16_t*>(argv[i]));
  const std::u16string line =
      tw::encode_windows_command_line(reinterpret_cast<const char16_t*>(argv[2]), arguments);
  std::wstring mutable_line(line.begin(), line.end());

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = handles.input;
  startup.hStdOutput = handles.output;
  startup.hStdError = inheritable_error();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(argv[2], mutable_line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "pipe_host: CreateProcessW failed with error %lu\n", GetLastError());
    return 122;
  }
  CloseHandle(process.hThread);
  CloseHandle(handles.input);
  CloseHandle(handles.output);
  if (std::wstring(argv[1]) == L"nowait-stdin-closed") CloseHandle(handles.keep_open);
  copy_output(handles.read_output, process.hProcess);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  // Only now, unless the mode says otherwise: the child must not see its input end.
  if (std::wstring(argv[1]) != L"nowait-stdin-closed") CloseHandle(handles.keep_open);
  return static_cast<int>(code);
}

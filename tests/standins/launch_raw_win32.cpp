// launch_raw PROGRAM COMMAND_LINE
// Starts PROGRAM with exactly COMMAND_LINE as its command line (program path included, as the
// caller writes it), with this process's standard handles, waits for it and exits with its exit
// code. Lets a test hand a program a command line that no argument vector would produce.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// An inheritable copy of a standard handle, or the handle itself when it cannot be copied.
HANDLE inheritable(DWORD which) {
  HANDLE original = GetStdHandle(which);
  HANDLE copy = nullptr;
  if (original == nullptr || original == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return original;
  }
  return copy;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: launch_raw PROGRAM COMMAND_LINE\n", stderr);
    return 120;
  }
  std::wstring line = argv[2];  // CreateProcessW may write into it

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable(STD_INPUT_HANDLE);
  startup.hStdOutput = inheritable(STD_OUTPUT_HANDLE);
  startup.hStdError = inheritable(STD_ERROR_HANDLE);

  PROCESS_INFORMATION process{};
  if (!CreateProcessW(argv[1], line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "launch_raw: CreateProcessW failed with error %lu\n", GetLastError());
    return 121;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

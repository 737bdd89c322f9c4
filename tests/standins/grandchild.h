#pragma once
// Starts a grandchild that would outlive the stand-in that starts it: on Windows a copy of the
// stand-in's own program run with `windows_arguments`; on POSIX a fork that sleeps for `lifetime`.
// The grandchild inherits the standard handles. Returns its id, or 0 when it could not be started.

#include <chrono>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

inline unsigned long start_grandchild(const wchar_t* windows_arguments,
                                      std::chrono::seconds lifetime) {
#ifdef _WIN32
  (void)lifetime;
  std::wstring self(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, self.data(), 32768);
  if (length == 0 || length >= 32768) return 0;
  self.resize(length);
  std::wstring line = L"\"" + self + L"\" " + windows_arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &info)) {
    return 0;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return info.dwProcessId;
#else
  (void)windows_arguments;
  const pid_t pid = fork();
  if (pid == 0) {
    std::this_thread::sleep_for(lifetime);
    _exit(0);
  }
  return pid > 0 ? static_cast<unsigned long>(pid) : 0;
#endif
}

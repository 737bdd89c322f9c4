#include <windows.h>

#include <utility>

#include "core/platform/file_lock.h"
#include "core/platform/os_error.h"
#include "core/platform/paths.h"

namespace tw {
namespace {

HANDLE handle_of(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

Result<FileLock> FileLock::acquire(std::string_view path) {
  HANDLE file = CreateFileW(utf8_path(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(last_os_error());
  OVERLAPPED whole{};  // the lock covers the file's first byte, whatever its size
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
    Error error = last_os_error();
    CloseHandle(file);
    return fail(std::move(error));
  }
  return FileLock(reinterpret_cast<std::intptr_t>(file));
}

FileLock::FileLock(FileLock&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

FileLock::~FileLock() {
  if (handle_ == -1) return;
  OVERLAPPED whole{};
  UnlockFileEx(handle_of(handle_), 0, 1, 0, &whole);
  CloseHandle(handle_of(handle_));
}

}  // namespace tw

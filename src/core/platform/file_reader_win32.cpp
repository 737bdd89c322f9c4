#include <windows.h>

#include <utility>

#include "core/platform/file_reader.h"
#include "core/platform/os_error.h"
#include "core/platform/paths.h"

namespace tw {
namespace {

HANDLE handle_of(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

Result<FileReader> FileReader::open(std::string_view path) {
  // Others may go on reading, writing, renaming or deleting it, as with a C runtime open.
  HANDLE file = CreateFileW(utf8_path(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(last_os_error());
  return FileReader(reinterpret_cast<std::intptr_t>(file));
}

FileReader::FileReader(FileReader&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

FileReader::~FileReader() {
  if (handle_ != -1) CloseHandle(handle_of(handle_));
}

Result<std::size_t> FileReader::read_some(std::span<char> buffer) {
  const DWORD wanted = buffer.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(buffer.size());
  DWORD got = 0;
  if (!ReadFile(handle_of(handle_), buffer.data(), wanted, &got, nullptr)) {
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;  // a named pipe whose writer is done
    return fail(last_os_error());
  }
  return static_cast<std::size_t>(got);
}

}  // namespace tw

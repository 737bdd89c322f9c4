#include <windows.h>

#include <utility>

#include "core/platform/file_writer.h"
#include "core/platform/os_error.h"
#include "core/platform/paths.h"

namespace tw {
namespace {

HANDLE handle_of(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

Result<FileWriter> FileWriter::create(std::string_view path) {
  HANDLE file =
      CreateFileW(utf8_path(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(last_os_error());
  return FileWriter(reinterpret_cast<std::intptr_t>(file));
}

FileWriter::FileWriter(FileWriter&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

FileWriter::~FileWriter() {
  if (handle_ != -1) CloseHandle(handle_of(handle_));
}

Status FileWriter::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD wanted = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD put = 0;
    if (!WriteFile(handle_of(handle_), bytes.data(), wanted, &put, nullptr)) {
      return fail(last_os_error());
    }
    bytes.remove_prefix(put);
  }
  return {};
}

Status FileWriter::flush_to_disk() {
  if (!FlushFileBuffers(handle_of(handle_))) return fail(last_os_error());
  return {};
}

Status FileWriter::close() {
  const std::intptr_t handle = std::exchange(handle_, -1);
  if (handle != -1 && !CloseHandle(handle_of(handle))) return fail(last_os_error());
  return {};
}

void flush_folder(std::string_view) {}

}  // namespace tw

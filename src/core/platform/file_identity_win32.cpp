#include <windows.h>

#include "core/platform/file_identity.h"
#include "core/platform/paths.h"

namespace tw {
namespace {

std::optional<FileIdentity> disk_file(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::optional<FileIdentity> standard_file(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return std::nullopt;
  return disk_file(handle);
}

}  // namespace

std::optional<FileIdentity> file_identity(std::string_view path) {
  // No access asked: only the file's information is read, whoever holds it open.
  HANDLE file = CreateFileW(utf8_path(path).c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FileIdentity> identity = disk_file(file);
  CloseHandle(file);
  return identity;
}

std::optional<FileIdentity> stdin_identity() { return standard_file(STD_INPUT_HANDLE); }

std::optional<FileIdentity> stdout_identity() { return standard_file(STD_OUTPUT_HANDLE); }

std::optional<FileIdentity> stderr_identity() { return standard_file(STD_ERROR_HANDLE); }

}  // namespace tw

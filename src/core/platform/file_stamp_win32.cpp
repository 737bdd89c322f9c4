#include <windows.h>

#include "core/platform/file_stamp.h"
#include "core/platform/paths.h"

namespace tw {
namespace {

constexpr std::int64_t TICKS_PER_SECOND = 10'000'000;  // FILETIME counts 100 ns
constexpr std::int64_t SECONDS_1601_TO_1970 = 11'644'473'600;

}  // namespace

std::optional<FileStamp> file_stamp(std::string_view path) {
  // Opened rather than asked by name, so that a link is followed to its target.
  HANDLE file = CreateFileW(utf8_path(path).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool read = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!read) return std::nullopt;
  const std::int64_t ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  return FileStamp{(static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                   ticks / TICKS_PER_SECOND - SECONDS_1601_TO_1970,
                   static_cast<std::uint32_t>(ticks % TICKS_PER_SECOND * 100)};
}

}  // namespace tw

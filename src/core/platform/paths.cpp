#include "core/platform/paths.h"

#include <system_error>
#include <type_traits>

#include "core/platform/text.h"

namespace tw {

std::filesystem::path utf8_path(std::string_view text) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string path_utf8(const std::filesystem::path& path) {
  if constexpr (std::is_same_v<std::filesystem::path::value_type, wchar_t>) {
    const std::wstring& native = path.native();
    return utf16_to_utf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(native.data()), native.size()));
  } else {
    return path.native();
  }
}

bool is_existing_directory(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

bool is_existing_file(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace tw

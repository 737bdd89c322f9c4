#include "core/platform/paths.h"

#include <system_error>

#include "core/text/utf16.h"

namespace tw {

std::filesystem::path utf8_path(std::string_view text) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string path_utf8(const std::filesystem::path& path) {
  const auto& native = path.native();
  if constexpr (sizeof(std::filesystem::path::value_type) == sizeof(char16_t)) {
    return utf16_to_utf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(native.data()), native.size()));
  } else {
    return std::string(reinterpret_cast<const char*>(native.data()), native.size());
  }
}

std::string path_file_name(std::string_view path) { return path_utf8(utf8_path(path).filename()); }

bool same_place(std::string_view a, std::string_view b) {
  std::error_code error_a, error_b;
  const std::filesystem::path place_a = std::filesystem::weakly_canonical(utf8_path(a), error_a);
  const std::filesystem::path place_b = std::filesystem::weakly_canonical(utf8_path(b), error_b);
  return !error_a && !error_b && place_a == place_b;
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

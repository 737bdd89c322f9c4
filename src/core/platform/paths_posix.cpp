#include <system_error>

#include "core/platform/os_error.h"
#include "core/platform/paths.h"

namespace tw {

Result<std::string> absolute_path(std::string_view path) {
  const std::filesystem::path given = utf8_path(path);
  if (path.empty() || given.is_absolute()) return std::string(path);
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(given, error);
  if (error) return fail(os_error(error.value()));
  return path_utf8(absolute);
}

std::string long_path_form(std::string_view path) { return std::string(path); }

}  // namespace tw

#include "core/asr/onnx_runtime_origin.h"

#include <algorithm>

#include "core/platform/loaded_module.h"
#include "core/platform/system_info.h"
#include "core/platform/unicode_lower.h"

namespace tw {
namespace {

constexpr std::string_view SEPARATORS = "\\/";

// Everything before the last separator, lower-cased, with one kind of separator and without
// the "\\?\" prefix that a program started by such a path may see on its own path.
std::string folder_of(std::string_view path) {
  const std::size_t separator = path.find_last_of(SEPARATORS);
  std::string folder = unicode_lower(
      separator == std::string_view::npos ? std::string_view() : path.substr(0, separator));
  std::replace(folder.begin(), folder.end(), '/', '\\');
  if (folder.starts_with("\\\\?\\unc\\")) return "\\" + folder.substr(7);
  if (folder.starts_with("\\\\?\\")) return folder.substr(4);
  return folder;
}

bool is_inside(std::string_view path, std::string_view folder) {
  const std::string lower_path = unicode_lower(path);
  std::string lower_folder = unicode_lower(folder);
  while (!lower_folder.empty() && SEPARATORS.find(lower_folder.back()) != std::string::npos) {
    lower_folder.pop_back();
  }
  return !lower_folder.empty() && lower_path.starts_with(lower_folder) &&
         lower_path.size() > lower_folder.size() &&
         SEPARATORS.find(lower_path[lower_folder.size()]) != std::string::npos;
}

}  // namespace

Status check_library_origins() {
  const std::string program = program_path();
  if (Status speech = check_speech_library_path(speech_library_module_path(), program); !speech)
    return speech;
  return check_onnx_runtime_path(onnx_runtime_module_path(), program, windows_directory());
}

Status check_speech_library_path(const std::optional<std::string>& module_path,
                                 std::string_view program_path) {
  if (!module_path || module_path->empty() || program_path.empty()) return {};
  if (folder_of(*module_path) == folder_of(program_path)) return {};
  return fail("the speech library (" + *module_path +
              ") was loaded instead of the one beside the worker");
}

Status check_onnx_runtime_path(const std::optional<std::string>& module_path,
                               std::string_view program_path,
                               const std::optional<std::string>& windows_directory) {
  if (!module_path || module_path->empty() || program_path.empty()) return {};
  if (folder_of(*module_path) == folder_of(program_path)) return {};
  const std::string whose = windows_directory && is_inside(*module_path, *windows_directory)
                                ? "Windows' own ONNX Runtime ("
                                : "ONNX Runtime from another folder (";
  return fail(whose + *module_path + ") was loaded instead of the one beside the worker");
}

}  // namespace tw

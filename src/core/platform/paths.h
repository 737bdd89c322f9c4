#pragma once
// Paths arrive and leave as UTF-8 text; std::filesystem holds them natively (UTF-16 on Windows).

#include <filesystem>
#include <string>
#include <string_view>

#include "core/error.h"

namespace tw {

std::filesystem::path utf8_path(std::string_view text);

// The path as UTF-8; anything without a Unicode form (an unpaired UTF-16 surrogate) is U+FFFD.
std::string path_utf8(const std::filesystem::path& path);

// The last component of `path` (its file name), as UTF-8.
std::string path_file_name(std::string_view path);

// `path` made absolute against the current directory. An absolute or empty path is returned
// unchanged: on Windows every form that names a place by itself ("C:\a", "\\server\share\a",
// "\\?\C:\a", "\\.\C:\a", "\\?\UNC\server\share\a"); the others ("a", "\a", "C:a") are
// resolved as the system resolves them (GetFullPathNameW). Fails with the OS error when the
// current directory cannot be read.
Result<std::string> absolute_path(std::string_view path);

// `path` in a form that every Windows call takes however long it is. A path that has, or whose
// full form has, MAX_PATH - 12 (248) UTF-16 units or more, which Windows refuses unless the
// machine allows long paths, becomes that full form (GetFullPathNameW) with the "\\?\" prefix
// ("\\?\UNC\" for a share). Shorter paths, paths with a device prefix already, paths that cannot be
// resolved and every path on POSIX come back unchanged.
std::string long_path_form(std::string_view path);

// Whether two paths (UTF-8) name the same place, compared after each is made absolute and the
// links of its existing part resolved; any error counts as "no". For names of files that may not
// exist yet; file_identity tells existing files apart.
bool same_place(std::string_view a, std::string_view b);

// Existence tests that follow links and count any error as "no".
bool is_existing_directory(const std::filesystem::path& path);
bool is_existing_file(const std::filesystem::path& path);

}  // namespace tw

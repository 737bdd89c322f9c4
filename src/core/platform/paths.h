#pragma once
// Paths arrive and leave as UTF-8 text; std::filesystem holds them natively (UTF-16 on Windows).

#include <filesystem>
#include <string>
#include <string_view>

namespace tw {

std::filesystem::path utf8_path(std::string_view text);

// The path as UTF-8; anything without a Unicode form (an unpaired UTF-16 surrogate) is U+FFFD.
std::string path_utf8(const std::filesystem::path& path);

// Existence tests that follow links and count any error as "no".
bool is_existing_directory(const std::filesystem::path& path);
bool is_existing_file(const std::filesystem::path& path);

}  // namespace tw

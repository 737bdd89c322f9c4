#pragma once
// The Windows command-line rules as pure functions over UTF-16, usable on every platform:
// splitting a command line into arguments, and its inverse, encoding an argument vector so that
// the splitting gives it back unchanged; and which programs CreateProcessW hands to cmd.exe.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// All arguments, the program path first (its own simpler rules: quotes toggle, backslashes are
// ordinary characters).
std::vector<std::u16string> split_windows_command_line(std::u16string_view line);

// The program path in double quotes, then each argument after one space, quoted and escaped
// where needed.
std::u16string encode_windows_command_line(std::u16string_view program,
                                           std::span<const std::u16string> arguments);

// Whether CreateProcessW would run `program` as a batch file: through cmd.exe, which parses the
// whole command line again by its own rules (% and ^ expand, & and | start other commands), so
// that no quoting of the arguments keeps them arguments. Decided by the file name as Windows
// resolves it: the last component without an NTFS stream suffix (":$DATA") and without trailing
// dots and spaces, ending in ".bat" or ".cmd" in any case.
bool is_batch_file_name(std::u16string_view program);

}  // namespace tw

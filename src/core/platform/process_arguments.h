#pragma once
// The process's own arguments after the program path, as UTF-8.
// Windows reads the wide command line (GetCommandLineW) and splits it by the Windows rules;
// POSIX takes argv as given.

#include <string>
#include <vector>

namespace tw {

std::vector<std::string> process_arguments(int argc, char** argv);

}  // namespace tw

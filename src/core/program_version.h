#pragma once
// What every program prints for --version: its name and the build's version, the release
// version with the commit it was built from ("transcribe-worker 0.1.0+5a1ba4c").

#include <string_view>

#include "core/error.h"

namespace tw {

// The build's version, as the package's VERSION file holds it.
std::string_view build_version();

// Writes "PROGRAM VERSION\n" to standard output.
Status print_version(std::string_view program);

}  // namespace tw

#pragma once
// What the platform reports about the machine and the system.

#include <optional>
#include <string>

namespace tw {

// Logical processors as the platform reports them (GetSystemInfo on Windows); may be 0.
unsigned logical_processor_count();

// Windows' own folders as the system reports them (GetSystemWindowsDirectoryW,
// GetSystemDirectoryW), as UTF-8; never taken from the environment, which the host sets. Nothing
// elsewhere, or when the system does not say.
std::optional<std::string> windows_directory();
std::optional<std::string> system_directory();

}  // namespace tw

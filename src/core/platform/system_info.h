#pragma once

namespace tw {

// Logical processors as the platform reports them (GetSystemInfo on Windows); may be 0.
unsigned logical_processor_count();

}  // namespace tw

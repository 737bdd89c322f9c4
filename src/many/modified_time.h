#pragma once
// A file's modification time as NAME.source holds it: seconds since 1970 with nine decimals.

#include <cstdint>
#include <string>

namespace tw::many {

// `seconds` and the `nanoseconds` after them (a time before 1970 has negative seconds and
// nanoseconds counted forward from them) as one exact decimal: "-0.500000000" for -1 s + 0.5 s.
std::string modified_time_text(std::int64_t seconds, std::uint32_t nanoseconds);

}  // namespace tw::many

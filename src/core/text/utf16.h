#pragma once
// UTF-8 <-> UTF-16 conversion, the same on every platform.

#include <string>
#include <string_view>

namespace tw {

// Each unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8(std::u16string_view text);

// Each maximal invalid UTF-8 sequence becomes one U+FFFD.
std::u16string utf8_to_utf16(std::string_view text);

}  // namespace tw

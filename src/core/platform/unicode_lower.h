#pragma once
// Full Unicode lower-casing of UTF-8 text, as Rust's str::to_lowercase does it: every code
// point takes its full lower-case mapping (UnicodeData.txt plus the unconditional entries of
// SpecialCasing.txt, so U+0130 becomes "i" U+0307), and U+03A3 follows the language-independent
// Final_Sigma rule: it becomes U+03C2 when a cased letter comes before it and none after it,
// case-ignorable code points skipped on both sides; otherwise U+03C3. Language-specific rules
// (Turkish, Lithuanian) are not applied. Bytes that are not valid UTF-8 are copied unchanged.

#include <string>
#include <string_view>

namespace tw {

std::string unicode_lower(std::string_view text);

}  // namespace tw

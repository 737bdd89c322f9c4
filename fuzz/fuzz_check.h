#pragma once
// What the fuzz targets share: a property check that, when it fails, ends the process the way a
// broken invariant does, so that libFuzzer keeps the input as a crash.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/fail_fast.h"

namespace tw::fuzz {

inline void expect(bool holds, std::string_view property) {
  if (!holds) fail_fast(property);
}

// The input as text.
inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// `text` cut at every `separator`: n separators give n + 1 parts.
template <class Char>
std::vector<std::basic_string<Char>> split_at(std::basic_string_view<Char> text,
                                              std::basic_string_view<Char> separator) {
  std::vector<std::basic_string<Char>> parts;
  for (std::size_t at; (at = text.find(separator)) != text.npos;) {
    parts.emplace_back(text.substr(0, at));
    text.remove_prefix(at + separator.size());
  }
  parts.emplace_back(text);
  return parts;
}

}  // namespace tw::fuzz

#pragma once
// The Unicode data behind unicode_lower(), generated into unicode_lower_table.cpp by
// tools/make_unicode_lower.py. Every table is sorted by code point.

#include <cstdint>
#include <span>

namespace tw::unicode_lower_table {

struct SimpleMapping {
  char32_t from;
  char32_t to;
};

// An unconditional full mapping that differs from the simple one (U+0130 -> U+0069 U+0307).
struct FullMapping {
  char32_t from;
  char32_t to[3];
  std::uint8_t length;
};

struct CodePointRange {
  char32_t first;
  char32_t last;  // inclusive
};

std::span<const SimpleMapping> simple_mappings();
std::span<const FullMapping> full_mappings();
std::span<const CodePointRange> cased_ranges();
std::span<const CodePointRange> case_ignorable_ranges();

}  // namespace tw::unicode_lower_table

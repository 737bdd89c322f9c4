#include "core/asr/utf8_repair.h"

#include <cstdint>

namespace tw {
namespace {

constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";

// How many bytes a sequence opened by `lead` has (0: the byte opens none), and the range of its
// second byte, narrower than 80..BF where that excludes overlong forms, surrogates and code
// points above U+10FFFF.
struct Lead {
  int length = 0;
  std::uint8_t second_min = 0x80;
  std::uint8_t second_max = 0xBF;
};

Lead classify_lead(std::uint8_t lead) {
  if (lead < 0x80) return {1};
  if (lead < 0xC2) return {};
  if (lead < 0xE0) return {2};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead < 0xF0) return {3};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead < 0xF4) return {4};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {};
}

}  // namespace

std::string repair_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t begin = i;
    const Lead lead = classify_lead(static_cast<std::uint8_t>(text[i++]));
    if (lead.length == 0) {
      out += REPLACEMENT;
      continue;
    }
    int taken = 1;
    while (taken < lead.length && i < text.size()) {
      const auto byte = static_cast<std::uint8_t>(text[i]);
      const std::uint8_t min = taken == 1 ? lead.second_min : 0x80;
      const std::uint8_t max = taken == 1 ? lead.second_max : 0xBF;
      if (byte < min || byte > max) break;  // this byte is looked at again as a lead
      ++taken;
      ++i;
    }
    if (taken == lead.length) {
      out.append(text, begin, i - begin);
    } else {
      out += REPLACEMENT;
    }
  }
  return out;
}

}  // namespace tw

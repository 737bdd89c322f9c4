#include "core/audio/error_output.h"

#include <algorithm>
#include <array>

namespace tw {
namespace {

bool is_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The code points with the White_Space property, UTF-8 encoded.
constexpr std::array<std::string_view, 25> WHITE_SPACE = {
    "\t",           "\n",           "\v",           "\f",           "\r",           " ",
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82",
    "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88",
    "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
    "\xE3\x80\x80",
};

}  // namespace

void ErrorOutput::append(std::span<const std::byte> bytes) {
  total_ += bytes.size();
  const auto* data = reinterpret_cast<const char*>(bytes.data());
  const std::size_t to_head = std::min(bytes.size(), ERROR_OUTPUT_HEAD_BYTES - head_.size());
  head_.append(data, to_head);
  tail_.append(data + to_head, bytes.size() - to_head);
  // Trimming only when twice the limit is reached keeps the cost of erasing the front linear.
  if (tail_.size() > 2 * ERROR_OUTPUT_TAIL_BYTES) {
    tail_.erase(0, tail_.size() - ERROR_OUTPUT_TAIL_BYTES);
  }
}

std::string ErrorOutput::text() const {
  std::string_view head = head_;
  std::string_view tail = tail_;
  if (tail.size() > ERROR_OUTPUT_TAIL_BYTES)
    tail.remove_prefix(tail.size() - ERROR_OUTPUT_TAIL_BYTES);
  if (head.size() + tail.size() == total_) {
    std::string whole = head_ + std::string(tail);
    return is_valid_utf8(whole) ? whole : std::string();
  }
  // Something in between was left out: move both cuts to character boundaries (a character
  // has at most three continuation bytes), so that valid output stays valid.
  for (int i = 0; i < 3 && !tail.empty() && is_continuation(tail.front()); ++i) {
    tail.remove_prefix(1);
  }
  const std::size_t lead_limit = std::min<std::size_t>(head.size(), 3);
  for (std::size_t back = 1; back <= lead_limit; ++back) {
    const auto byte = static_cast<unsigned char>(head[head.size() - back]);
    if ((byte & 0xC0) == 0xC0) {  // the lead byte of the last character
      const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
      if (length > back) head.remove_suffix(back);
      break;
    }
    if (byte < 0x80) break;
  }
  if (!is_valid_utf8(head) || !is_valid_utf8(tail)) return std::string();
  const std::uint64_t left_out = total_ - head.size() - tail.size();
  std::string text(head);
  text += "\n[... " + std::to_string(left_out) + " bytes left out ...]\n";
  text += tail;
  return text;
}

std::string_view trim_white_space(std::string_view text) {
  const auto strip_one = [&](bool front) {
    for (std::string_view space : WHITE_SPACE) {
      if (front ? text.starts_with(space) : text.ends_with(space)) {
        front ? text.remove_prefix(space.size()) : text.remove_suffix(space.size());
        return true;
      }
    }
    return false;
  };
  while (strip_one(true)) {
  }
  while (strip_one(false)) {
  }
  return text;
}

bool is_valid_utf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    char32_t value;
    char32_t smallest;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, value = lead & 0x1F, smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, value = lead & 0x0F, smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
      return false;
    }
    if (bytes.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if (!is_continuation(bytes[i + k])) return false;
      value = value << 6 | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace tw

#include "core/audio/error_output.h"

#include <algorithm>

#include "core/text/utf8.h"

namespace tw {

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
  if (head.size() + tail.size() == total_) return repair_utf8(head_ + std::string(tail));
  // Something in between was left out: move both cuts to character boundaries (a character
  // has at most three continuation bytes), so that no character is cut in two.
  for (int i = 0; i < 3 && !tail.empty() && is_utf8_continuation(tail.front()); ++i) {
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
  const std::uint64_t left_out = total_ - head.size() - tail.size();
  std::string text = repair_utf8(head);
  text += "\n[... " + std::to_string(left_out) + " bytes left out ...]\n";
  text += repair_utf8(tail);
  return text;
}

}  // namespace tw

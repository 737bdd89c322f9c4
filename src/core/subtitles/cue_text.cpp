#include "core/subtitles/cue_text.h"

#include <algorithm>
#include <cstdint>

namespace tw::subtitles {
namespace {

constexpr Milliseconds MS_PER_SECOND = 1000;
constexpr Milliseconds MS_PER_MINUTE = 60 * MS_PER_SECOND;
constexpr Milliseconds MS_PER_HOUR = 60 * MS_PER_MINUTE;

void append_padded(std::string& out, Milliseconds value, std::size_t digits) {
  const std::string text = std::to_string(value);
  if (text.size() < digits) out.append(digits - text.size(), '0');
  out += text;
}

}  // namespace

std::string clock_time(Milliseconds ms, char separator) {
  ms = std::max<Milliseconds>(ms, 0);
  std::string text;
  append_padded(text, ms / MS_PER_HOUR, 2);
  text += ':';
  append_padded(text, ms % MS_PER_HOUR / MS_PER_MINUTE, 2);
  text += ':';
  append_padded(text, ms % MS_PER_MINUTE / MS_PER_SECOND, 2);
  text += separator;
  append_padded(text, ms % MS_PER_SECOND, 3);
  return text;
}

std::string one_line(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return line;
}

}  // namespace tw::subtitles

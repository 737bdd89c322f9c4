#include "subtitles/cue_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tw::subtitles {
namespace {

// Far beyond any media, and small enough that the millisecond count fits its integer.
constexpr double LATEST_SECONDS = 1e12;
constexpr std::int64_t MS_PER_SECOND = 1000;
constexpr std::int64_t MS_PER_MINUTE = 60 * MS_PER_SECOND;
constexpr std::int64_t MS_PER_HOUR = 60 * MS_PER_MINUTE;

void append_padded(std::string& out, std::int64_t value, std::size_t digits) {
  const std::string text = std::to_string(value);
  if (text.size() < digits) out.append(digits - text.size(), '0');
  out += text;
}

std::int64_t clock_milliseconds(double seconds) {
  return std::llround(std::clamp(seconds, 0.0, LATEST_SECONDS) * 1000.0);
}

}  // namespace

std::string clock_time(double seconds, char separator) {
  const std::int64_t ms = clock_milliseconds(seconds);
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

double next_millisecond(double seconds) {
  // A whole count of milliseconds divided by 1000 reads back as the same count.
  return static_cast<double>(clock_milliseconds(seconds) + 1) / 1000.0;
}

std::string one_line(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return line;
}

}  // namespace tw::subtitles

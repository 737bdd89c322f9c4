// The Windows command-line rules: splitting a line, encoding an argument vector so that the
// splitting gives it back, and the UTF-16 to UTF-8 conversion each argument then goes through.
//
// Input: UTF-16LE code units (a last odd byte is ignored), used twice: as a command line to
// split, and as an argument vector whose items are separated by U+0000, the program first.

#include "core/platform/windows_command_line.h"
#include "core/text/utf16.h"
#include "core/text/utf8.h"
#include "fuzz_check.h"

namespace {

using tw::fuzz::expect;

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool has_unpaired_surrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (is_high_surrogate(text[i]) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
      ++i;
    } else if (is_high_surrogate(text[i]) || is_low_surrogate(text[i])) {
      return true;
    }
  }
  return false;
}

// Encoding then splitting gives the program and the arguments back; the program path holds no
// double quote (Windows allows none in a path).
void check_round_trip(const std::vector<std::u16string>& words) {
  const std::span<const std::u16string> arguments = std::span(words).subspan(1);
  const std::vector<std::u16string> split =
      tw::split_windows_command_line(tw::encode_windows_command_line(words[0], arguments));
  expect(split == words, "encoded arguments split differently");
}

void check_utf8(const std::u16string& argument) {
  const std::string utf8 = tw::utf16_to_utf8(argument);
  expect(tw::is_valid_utf8(utf8), "an argument converted to invalid UTF-8");
  const std::u16string back = tw::utf8_to_utf16(utf8);
  expect(has_unpaired_surrogate(argument) ? tw::utf16_to_utf8(back) == utf8 : back == argument,
         "an argument changed by the UTF-8 round trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }

  const std::vector<std::u16string> split = tw::split_windows_command_line(units);
  expect(!split.empty() && split[0].find(u'"') == std::u16string::npos,
         "the program path keeps a double quote");
  check_round_trip(split);
  for (const std::u16string& argument : split) check_utf8(argument);

  std::vector<std::u16string> words =
      tw::fuzz::split_at(std::u16string_view(units), std::u16string_view(u"\0", 1));
  std::erase(words[0], u'"');
  check_round_trip(words);
  return 0;
}

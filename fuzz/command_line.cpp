// The worker's command line: the walk over the arguments, and each argument also given as the
// value of --end and of --batch, so that both number grammars are checked, through the walk,
// against the C library's conversions.
//
// Input: the arguments, separated by NUL bytes (no argument can hold one).

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/text/utf8.h"
#include "fuzz_check.h"
#include "worker/command_line.h"

namespace {

using tw::fuzz::expect;

// An otherwise complete command line with `option` and `value` at its end.
tw::Result<tw::RunOptions> walk_with(std::string_view option, const std::string& value) {
  const std::string arguments[] = {"--model",           "m",  "--ffmpeg", "f", "a.wav",
                                   std::string(option), value};
  return tw::parse_command_line(arguments);
}

// Why the walk refused the value of `option`: the number grammar's message.
std::string refusal(const tw::Result<tw::RunOptions>& options, std::string_view option) {
  const tw::Error& error = options.error();
  expect(error.message() == option && error.cause() != nullptr,
         "a refused number without the option and the grammar's message");
  return error.cause()->message();
}

bool same_double(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0 ||
         (std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b));
}

// Texts made only of these characters hold no hexadecimal form, no white space and no
// "nan(...)": strtod reads all of such a text exactly when the grammar accepts it.
bool within_float_alphabet(std::string_view text) {
  return text.find_first_not_of("0123456789.+-eEiInNfFaAtTyY") == std::string_view::npos;
}

void check_float(const std::string& text) {
  const tw::Result<tw::RunOptions> options = walk_with("--end", text);
  char* end = nullptr;
  const double expected = std::strtod(text.c_str(), &end);
  const bool read_whole = !text.empty() && end == text.c_str() + text.size();
  if (options) {
    expect(read_whole && same_double(options->end.value(), expected), "--end differs from strtod");
    return;
  }
  expect(!read_whole || !within_float_alphabet(text), "--end refuses what strtod reads");
  expect(refusal(options, "--end") ==
             (text.empty() ? "cannot parse float from empty string" : "invalid float literal"),
         "--end error message");
}

void check_unsigned(const std::string& text) {
  const tw::Result<tw::RunOptions> options = walk_with("--batch", text);
  const std::string_view digits = std::string_view(text).substr(text.starts_with('+') ? 1 : 0);
  const std::size_t leading = std::min(digits.find_first_not_of("0123456789"), digits.size());
  errno = 0;
  const unsigned long long expected =
      std::strtoull(std::string(digits.substr(0, leading)).c_str(), nullptr, 10);
  // The digits before any other character decide first whether the number is too large.
  const bool too_large = errno == ERANGE;
  if (!digits.empty() && leading == digits.size() && !too_large) {
    expect(options && options->batch == expected, "--batch differs from strtoull");
    return;
  }
  expect(!options, "--batch accepts a malformed or too large number");
  const char* message = text.empty() ? "cannot parse integer from empty string"
                        : too_large  ? "number too large to fit in target type"
                                     : "invalid digit found in string";
  expect(refusal(options, "--batch") == message, "--batch error message");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> arguments =
      tw::fuzz::split_at(tw::fuzz::as_text(data, size), std::string_view("\0", 1));
  const tw::Result<tw::RunOptions> options = tw::parse_command_line(arguments);
  if (options) {
    expect(!options->audio.starts_with("--"), "an option taken as the media path");
  } else if (const std::string& message = options.error().message();
             message.starts_with("unknown provider ")) {
    // The value is shown escaped: readable, on one line, whatever bytes it held.
    expect(tw::is_valid_utf8(message) &&
               std::ranges::none_of(message, [](unsigned char c) { return c < 0x20 || c == 0x7F; }),
           "a provider value shown unescaped");
  }
  for (const std::string& argument : arguments) {
    check_float(argument);
    check_unsigned(argument);
  }
  return 0;
}

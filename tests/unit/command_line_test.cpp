#include "worker/command_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace tw {
namespace {

using Args = std::vector<std::string>;

Result<RunOptions> parse(const Args& args) { return parse_command_line(args); }

// The error's chain and its number of levels, or "ok".
std::string outcome(const Args& args) {
  Result<RunOptions> options = parse(args);
  if (options) return "ok";
  int levels = 0;
  for (const Error* e = &options.error(); e != nullptr; e = e->cause()) ++levels;
  return std::to_string(levels) + ": " + options.error().chain();
}

std::string print(const Args& args) {
  std::string line;
  for (const std::string& a : args) line += "[" + a + "]";
  return line;
}

struct Case {
  Args args;
  std::string expected;  // levels, then the chain
};

void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(outcome(c.args), c.expected) << print(c.args);
}

TEST(ParseCommandLine, FillsEveryField) {
  Result<RunOptions> options =
      parse({"--model", "C:\\models\\m", "--ffmpeg", "f.exe", "--start", "1.5", "--end", "90",
             "--batch", "+8", "--provider", "cuda", "--exit-on-stdin-close", "clip.wav"});
  ASSERT_TRUE(options) << options.error().chain();
  EXPECT_EQ(options->model, "C:\\models\\m");
  EXPECT_EQ(options->ffmpeg, "f.exe");
  EXPECT_EQ(options->audio, "clip.wav");
  EXPECT_EQ(options->start, 1.5);
  EXPECT_EQ(options->end, 90.0);
  EXPECT_EQ(options->batch, 8u);
  EXPECT_EQ(options->provider, Provider::cuda);
  EXPECT_TRUE(options->exit_on_stdin_close);
}

TEST(ParseCommandLine, DefaultsAndOrderFreedom) {
  Result<RunOptions> options = parse({"a.wav", "--ffmpeg", "f", "--model", "m"});
  ASSERT_TRUE(options) << options.error().chain();
  EXPECT_EQ(options->audio, "a.wav");
  EXPECT_EQ(options->start, 0.0);
  EXPECT_FALSE(options->end.has_value());
  EXPECT_EQ(options->batch, 1u);
  EXPECT_EQ(options->provider, Provider::cpu);
  EXPECT_FALSE(options->exit_on_stdin_close);
}

TEST(ParseCommandLine, LaterValuesWinAndValuesAreTakenWhole) {
  Result<RunOptions> options =
      parse({"--model", "--ffmpeg", "--ffmpeg", "f.exe", "--provider", "cuda",  "--provider", "cpu",
             "--batch", "3",        "--batch",  "0",     "--start",    "5",     "--start",    "-2",
             "x.wav",   "--model",  "m2",       "--end", "1",          "--end", "nan"});
  ASSERT_TRUE(options) << options.error().chain();
  EXPECT_EQ(options->model, "m2");
  EXPECT_EQ(options->ffmpeg, "f.exe");
  EXPECT_EQ(options->provider, Provider::cpu);
  EXPECT_EQ(options->batch, 0u);  // accepted here; it counts as 1 later
  EXPECT_EQ(options->start, -2.0);
  ASSERT_TRUE(options->end.has_value());
  EXPECT_TRUE(std::isnan(*options->end));
}

TEST(ParseCommandLine, PathsArriveUnchanged) {
  const std::string odd = "C:\\Media Files\\\xd0\x9a\xd0\xbb\xd0\xb8\xd0\xbf (1).mp4";
  Result<RunOptions> options = parse({"--model", "--x", "--ffmpeg", "", odd});
  ASSERT_TRUE(options) << options.error().chain();
  EXPECT_EQ(options->model, "--x");  // whatever follows, even an option-like value
  EXPECT_EQ(options->ffmpeg, "");
  EXPECT_EQ(options->audio, odd);
}

TEST(ParseCommandLine, SingleDashesAndEmptyArgumentsAreTheAudioFile) {
  for (const std::string audio : {"-", "-x", ""}) {
    Result<RunOptions> options = parse({"--model", "m", "--ffmpeg", "f", audio});
    ASSERT_TRUE(options) << print({audio});
    EXPECT_EQ(options->audio, audio);
  }
  check({
      {{"--model", "m", "--ffmpeg", "f", "a.wav", "-"}, "1: unexpected argument -"},
      {{"--model", "m", "--ffmpeg", "f", "", ""}, "1: unexpected argument "},
  });
}

TEST(ParseCommandLine, FinalChecksInOrder) {
  check({
      {{}, "1: --model is required"},
      {{"--ffmpeg", "f.exe", "clip.wav"}, "1: --model is required"},
      {{"--model", "m", "clip.wav"}, "1: --ffmpeg is required"},
      {{"clip.wav"}, "1: --model is required"},
      {{"--model", "m", "--ffmpeg", "f.exe"}, "1: an audio file is required"},
      {{"--model", "m", "--ffmpeg", "f", "a.wav", "--model"}, "1: --model is required"},
      {{"--model", "m", "--ffmpeg", "f", "a.wav", "--ffmpeg"}, "1: --ffmpeg is required"},
      {{"--model", "m", "--ffmpeg", "f", "--exit-on-stdin-close"}, "1: an audio file is required"},
  });
}

TEST(ParseCommandLine, UnexpectedArguments) {
  check({
      {{"--model=m"}, "1: unexpected argument --model=m"},
      {{"--"}, "1: unexpected argument --"},
      {{"--Model", "m"}, "1: unexpected argument --Model"},
      {{"--bogus", "--batch", "x"}, "1: unexpected argument --bogus"},
      {{"a.wav", "b.wav"}, "1: unexpected argument b.wav"},
      {{"a.wav", "--", "x"}, "1: unexpected argument --"},
      {{"--model", "--ffmpeg", "f.exe", "a.wav", "b.wav"}, "1: unexpected argument a.wav"},
      {{"a.wav", "b\n\"c\""}, "1: unexpected argument b\n\"c\""},  // exactly as received
  });
}

TEST(ParseCommandLine, MissingValues) {
  check({
      {{"--start"}, "1: --start needs a value"},
      {{"--end"}, "1: --end needs a value"},
      {{"--batch"}, "1: --batch needs a value"},
      {{"--provider"}, "1: unknown provider None"},
      {{"a.wav", "--model", "m", "--ffmpeg", "f", "--start"}, "1: --start needs a value"},
  });
}

TEST(ParseCommandLine, NumberErrorsNameTheOption) {
  check({
      {{"--batch", "x"}, "2: --batch: invalid digit found in string"},
      {{"--batch", "-1"}, "2: --batch: invalid digit found in string"},
      {{"--batch", "+"}, "2: --batch: invalid digit found in string"},
      {{"--batch", ""}, "2: --batch: cannot parse integer from empty string"},
      {{"--batch", "18446744073709551616"}, "2: --batch: number too large to fit in target type"},
      {{"--start", ""}, "2: --start: cannot parse float from empty string"},
      {{"--start", "1,5"}, "2: --start: invalid float literal"},
      {{"--start", " 1"}, "2: --start: invalid float literal"},
      {{"--start", "+"}, "2: --start: invalid float literal"},
      {{"--end", "--model"}, "2: --end: invalid float literal"},
      {{"--end", ""}, "2: --end: cannot parse float from empty string"},
  });
}

TEST(ParseCommandLine, NumberFormsAccepted) {
  struct FloatCase {
    std::string text;
    double expected;
  };
  for (const FloatCase& c : std::vector<FloatCase>{
           {".5", 0.5}, {"5.", 5.0}, {"1e3", 1000.0}, {"-inf", -INFINITY}, {"1e999", INFINITY}}) {
    Result<RunOptions> options = parse({"--model", "m", "--ffmpeg", "f", "a", "--end", c.text});
    ASSERT_TRUE(options) << c.text;
    EXPECT_EQ(options->end, c.expected) << c.text;
  }
  Result<RunOptions> options =
      parse({"--model", "m", "--ffmpeg", "f", "a", "--batch", "18446744073709551615"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->batch, std::numeric_limits<std::uint64_t>::max());
}

TEST(ParseCommandLine, Providers) {
  check({
      {{"--provider", "gpu"}, "1: unknown provider Some(\"gpu\")"},
      {{"--provider", "CUDA"}, "1: unknown provider Some(\"CUDA\")"},
      {{"--provider", ""}, "1: unknown provider Some(\"\")"},
      {{"--provider", "cpu "}, "1: unknown provider Some(\"cpu \")"},
      {{"--provider", "a\"b\\c\td"}, "1: unknown provider Some(\"a\\\"b\\\\c\\td\")"},
      {{"--provider", "--model", "m"}, "1: unknown provider Some(\"--model\")"},
  });
}

TEST(ParseCommandLine, FirstErrorEndsTheWalk) {
  check({
      {{"--batch", "x", "--bogus"}, "2: --batch: invalid digit found in string"},
      {{"--bogus", "--batch", "x"}, "1: unexpected argument --bogus"},
      {{"--provider", "gpu", "--start"}, "1: unknown provider Some(\"gpu\")"},
      {{"--start", "1", "--end", "x", "--batch", "y"}, "2: --end: invalid float literal"},
      // The walk's errors come before the final checks.
      {{"--ffmpeg", "f", "--batch", "-1"}, "2: --batch: invalid digit found in string"},
  });
}

}  // namespace
}  // namespace tw

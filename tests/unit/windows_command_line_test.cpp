#include "core/platform/windows_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/text/utf16.h"

namespace tw {
namespace {

using Args = std::vector<std::u16string>;

// Readable failure output: the UTF-16 values as UTF-8.
std::vector<std::string> utf8(const Args& args) {
  std::vector<std::string> out;
  for (const auto& a : args) out.push_back(utf16_to_utf8(a));
  return out;
}

struct SplitCase {
  std::u16string line;
  Args expected;
};

void check(const std::vector<SplitCase>& cases) {
  for (const SplitCase& c : cases) {
    EXPECT_EQ(utf8(split_windows_command_line(c.line)), utf8(c.expected))
        << "line: " << utf16_to_utf8(c.line);
  }
}

TEST(SplitWindowsCommandLine, ProgramPathTogglesQuotesAndKeepsBackslashes) {
  check({
      {u"", {u""}},
      {u"prog", {u"prog"}},
      {u"\"C:\\Program Files\\w.exe\" a", {u"C:\\Program Files\\w.exe", u"a"}},
      {u"C:\\dir\\\"x y\"\\w.exe a", {u"C:\\dir\\x y\\w.exe", u"a"}},
      {u"\"C:\\dir\\\\\" a", {u"C:\\dir\\\\", u"a"}},
      {u"\"a b\"c d", {u"a bc", u"d"}},
      {u"\"\" a", {u"", u"a"}},
      {u" prog a", {u"", u"prog", u"a"}},  // a leading blank ends an empty program path
      {u"prog\t \ta", {u"prog", u"a"}},
  });
}

TEST(SplitWindowsCommandLine, BlanksSeparateOutsideQuotes) {
  check({
      {u"p a  b\t\tc \t", {u"p", u"a", u"b", u"c"}},
      {u"p \"a b\" \"c\td\"", {u"p", u"a b", u"c\td"}},
      {u"p \"a b\"c\" d\" e", {u"p", u"a bc d", u"e"}},
      {u"p a\"b c", {u"p", u"ab c"}},      // quote left open to the end
      {u"p a\nb\vc", {u"p", u"a\nb\vc"}},  // only space and tab separate
  });
}

TEST(SplitWindowsCommandLine, QuotesAndEmptyArguments) {
  check({
      {u"p \"\"", {u"p", u""}},
      {u"p \"\" \"\" x", {u"p", u"", u"", u"x"}},
      {u"p a\"\"b", {u"p", u"ab"}},
      {u"p \"a\"\"b\"", {u"p", u"a\"b"}},  // "" inside quotes: literal, quoting goes on
      {u"p \"a\"\"b c\" d", {u"p", u"a\"b c", u"d"}},
      {u"p \"\"\"\"", {u"p", u"\""}},
      {u"p \"\"\"", {u"p", u"\""}},
  });
}

TEST(SplitWindowsCommandLine, BackslashRuns) {
  check({
      {u"p a\\b a\\\\b \\\\server\\share\\", {u"p", u"a\\b", u"a\\\\b", u"\\\\server\\share\\"}},
      {u"p \\\"", {u"p", u"\""}},
      {u"p a\\\\\\\"b", {u"p", u"a\\\"b"}},          // three: one backslash, literal quote
      {u"p a\\\\\\\\\"b c\"", {u"p", u"a\\\\b c"}},  // four: two backslashes, quote opens
      {u"p \"a\\\"b\"", {u"p", u"a\"b"}},
      {u"p \"a\\\\\"b\"", {u"p", u"a\\b"}},
      // A quoted directory ending in two backslashes arrives ending in one.
      {u"p \"C:\\Media Files\\\\\" next", {u"p", u"C:\\Media Files\\", u"next"}},
      {u"p \"a\\\\\"\"b\"", {u"p", u"a\\\"b"}},  // even run, then "" inside quotes
  });
}

TEST(EncodeWindowsCommandLine, QuotesOnlyWhereNeeded) {
  const Args args = {u"plain",    u"",      u"a b",
                     u"t\tab",    u"a\"b",  u"c\\",
                     u"d\\\\\"e", u"x y\\", u"\\\\server\\share\\",
                     u"n\nv\v"};
  EXPECT_EQ(utf16_to_utf8(encode_windows_command_line(u"C:\\Program Files\\ffmpeg.exe", args)),
            "\"C:\\Program Files\\ffmpeg.exe\" plain \"\" \"a b\" \"t\tab\" a\\\"b c\\ "
            "d\\\\\\\\\\\"e \"x y\\\\\" \\\\server\\share\\ n\nv\v");
  EXPECT_EQ(utf16_to_utf8(encode_windows_command_line(u"p", {})), "\"p\"");
}

TEST(BatchFileName, AnyNameWindowsResolvesToABatchFile) {
  const std::pair<std::u16string, bool> cases[] = {
      {u"C:\\tools\\ffmpeg.bat", true},
      {u"ffmpeg.CMD", true},
      {u"x.Bat", true},
      {u"ffmpeg.bat.", true},  // trailing dots and spaces are dropped when the name resolves
      {u"x.cmd  ", true},
      {u"x.bat . .", true},
      {u"C:x.bat", true},
      {u"\\\\server\\share\\x.bat::$DATA", true},  // the file's default stream
      {u"D:/tools/x.cmd", true},
      {u"C:\\tools\\ffmpeg.exe", false},
      {u"C:\\x.bat\\ffmpeg.exe", false},  // only the last component counts
      {u"ffmpeg.bat.exe", false},
      {u"ffmpeg.bath", false},
      {u"ffmpeg", false},
      {u".bat", true},
      {u"bat", false},
      {u"", false},
  };
  for (const auto& [program, batch] : cases) {
    EXPECT_EQ(is_batch_file_name(program), batch) << utf16_to_utf8(program);
  }
}

TEST(WindowsCommandLine, SplitGivesBackWhatWasEncoded) {
  const std::u16string programs[] = {u"C:\\Program Files\\ffmpeg\\bin\\ffmpeg.exe", u"ffmpeg.exe",
                                     u"", u"C:\\dir\\",
                                     u"Z:\\\u043c\u0435\u0434\u0438\u0430\\\U0001F600.exe"};
  const Args tricky = {
      u"",
      u" ",
      u"\t",
      u"\"",
      u"\"\"",
      u"\\",
      u"\\\\",
      u"\\\"",
      u"a\\\\\"b",
      u"a\\\\\\",
      u"a b\\",
      u"a b\\\\\\",
      u"\"a b\"",
      u"x\"y z\"",
      u"\" \"",
      u"-i",
      u"--model",
      u"a\nb",
      u"a\vb c",
      u"\n",
      u"\u4e2d \u6587",
      u"\U0001F600\\",
      u"C:\\Media Files\\clip (1).mp4",
      u"\\\\server\\share\\",
      u"  lead",
      u"trail\t",
      u"\\\" \\\"",
      u"'single'",
  };
  for (const std::u16string& program : programs) {
    // Every tricky argument alone, between others, and all of them together.
    for (const std::u16string& argument : tricky) {
      const Args args = {u"before", argument, u"after"};
      Args expected = {program};
      expected.insert(expected.end(), args.begin(), args.end());
      std::u16string line = encode_windows_command_line(program, args);
      EXPECT_EQ(utf8(split_windows_command_line(line)), utf8(expected))
          << "line: " << utf16_to_utf8(line);
    }
    Args expected = {program};
    expected.insert(expected.end(), tricky.begin(), tricky.end());
    EXPECT_EQ(utf8(split_windows_command_line(encode_windows_command_line(program, tricky))),
              utf8(expected));
  }
}

TEST(WindowsCommandLine, LoneSurrogatesPassThroughUnchanged) {
  const Args args = {std::u16string{0xD800}, std::u16string{u'a', 0xDC00, u' ', 0xD83D}};
  std::u16string line = encode_windows_command_line(u"p", args);
  Args split = split_windows_command_line(line);
  ASSERT_EQ(split.size(), 3u);
  EXPECT_EQ(split[1], args[0]);
  EXPECT_EQ(split[2], args[1]);
}

}  // namespace
}  // namespace tw

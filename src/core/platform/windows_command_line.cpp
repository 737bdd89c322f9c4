#include "core/platform/windows_command_line.h"

#include <cstddef>

namespace tw {

namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

char16_t ascii_lower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool ends_with_without_case(std::u16string_view text, std::u16string_view lower_suffix) {
  if (text.size() < lower_suffix.size()) return false;
  text.remove_prefix(text.size() - lower_suffix.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (ascii_lower(text[i]) != lower_suffix[i]) return false;
  }
  return true;
}

// The program path: quotes only switch quoting on and off, backslashes are ordinary.
std::u16string take_program_path(std::u16string_view line, std::size_t& pos) {
  std::u16string path;
  bool quoted = false;
  for (; pos < line.size(); ++pos) {
    char16_t c = line[pos];
    if (c == u'"') {
      quoted = !quoted;
    } else if (is_blank(c) && !quoted) {
      break;
    } else {
      path += c;
    }
  }
  return path;
}

// One argument after the program path, starting at a non-blank character.
std::u16string take_argument(std::u16string_view line, std::size_t& pos) {
  std::u16string argument;
  bool quoted = false;
  while (pos < line.size()) {
    char16_t c = line[pos];
    if (is_blank(c) && !quoted) break;
    if (c == u'\\') {
      std::size_t run = 0;
      while (pos < line.size() && line[pos] == u'\\') {
        ++run;
        ++pos;
      }
      if (pos < line.size() && line[pos] == u'"') {
        argument.append(run / 2, u'\\');
        if (run % 2 == 1) {
          argument += u'"';
          ++pos;
        }
        // With an even run the quote is handled as a quote on the next turn.
      } else {
        argument.append(run, u'\\');
      }
      continue;
    }
    if (c == u'"') {
      if (quoted && pos + 1 < line.size() && line[pos + 1] == u'"') {
        argument += u'"';  // "" inside quotes: a literal quote, quoting goes on
        pos += 2;
      } else {
        quoted = !quoted;
        ++pos;
      }
      continue;
    }
    argument += c;
    ++pos;
  }
  return argument;
}

void skip_blanks(std::u16string_view line, std::size_t& pos) {
  while (pos < line.size() && is_blank(line[pos])) ++pos;
}

void append_encoded_argument(std::u16string& line, std::u16string_view argument) {
  bool enclose = argument.empty() || argument.find_first_of(u" \t") != std::u16string_view::npos;
  if (enclose) line += u'"';
  std::size_t backslashes = 0;
  for (char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      // Each backslash before a quote doubled, then one more to make the quote literal.
      line.append(backslashes * 2 + 1, u'\\');
    } else {
      line.append(backslashes, u'\\');
    }
    backslashes = 0;
    line += c;
  }
  // Backslashes before the closing quote would otherwise escape it.
  line.append(enclose ? backslashes * 2 : backslashes, u'\\');
  if (enclose) line += u'"';
}

}  // namespace

std::vector<std::u16string> split_windows_command_line(std::u16string_view line) {
  std::vector<std::u16string> arguments;
  std::size_t pos = 0;
  arguments.push_back(take_program_path(line, pos));
  skip_blanks(line, pos);
  while (pos < line.size()) {
    arguments.push_back(take_argument(line, pos));
    skip_blanks(line, pos);
  }
  return arguments;
}

std::u16string encode_windows_command_line(std::u16string_view program,
                                           std::span<const std::u16string> arguments) {
  std::u16string line;
  line += u'"';
  line += program;
  line += u'"';
  for (const std::u16string& argument : arguments) {
    line += u' ';
    append_encoded_argument(line, argument);
  }
  return line;
}

bool is_batch_file_name(std::u16string_view program) {
  std::u16string_view name = program;
  if (const std::size_t separator = name.find_last_of(u"\\/");
      separator != std::u16string_view::npos) {
    name.remove_prefix(separator + 1);
  } else if (name.size() >= 2 && name[1] == u':') {
    name.remove_prefix(2);  // "C:x.bat", relative to drive C's current directory
  }
  name = name.substr(0, name.find(u':'));  // "x.bat::$DATA" runs x.bat
  while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.remove_suffix(1);
  return ends_with_without_case(name, u".bat") || ends_with_without_case(name, u".cmd");
}

}  // namespace tw

#pragma once
// How an optional text value appears inside an error message: None, or Some("...") with the
// value escaped so that quotes, backslashes and invisible characters can be told apart.

#include <optional>
#include <string>
#include <string_view>

namespace tw {

// None, or Some("value"). In the value a backslash and a double quote get a backslash before
// them; tab, carriage return, line feed and NUL are written \t, \r, \n and \0; every other
// control, format, unassigned, private-use or separator code point except the plain space is
// written \u{hex} (lower case, no leading zeros). Bytes that are not UTF-8 show as U+FFFD.
std::string optional_value_text(std::optional<std::string_view> value);

}  // namespace tw

#pragma once
// Compact JSON text of a document tree: no white space, object members in the byte order of
// their keys, numbers as json_number writes them. Strings escape the quotation mark, the
// backslash and U+0000..U+001F (\b \t \n \f \r by name, the rest as \u00xx) and nothing else:
// the slash, U+007F and all non-ASCII text stay raw UTF-8.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tw {

void append_json_string(std::string& out, std::string_view text);

std::string compact_json(const nlohmann::json& value);

}  // namespace tw

#pragma once
// The recognizer's result for one stream, read strictly from the JSON text the library gives.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct OfflineRecognizerResult {
  std::string text;                              // read but not used
  std::vector<std::string> tokens;               // sub-word tokens, in order
  std::optional<std::vector<float>> timestamps;  // token starts, seconds from the piece start
  std::optional<std::vector<float>> durations;   // token durations, seconds
};

// Parses `json` (valid UTF-8) as one result object. Nothing when the text is not JSON, holds
// anything but white space after the object, gives a member twice, lacks "text" or "tokens",
// or has "text", "tokens", "timestamps" or "durations" of the wrong type; other members are
// ignored. "timestamps" and "durations" may be null. Numbers are read as the nearest double,
// then rounded to the nearest float.
std::optional<OfflineRecognizerResult> parse_recognizer_result(std::string_view json);

}  // namespace tw

#pragma once
// NAME.source: what a file's outputs were made from, four lines:
//   media /data/talks/talk.mp4
//   model /models/parakeet
//   size 104857600
//   modified 1733580000.123456789
// A file whose record matches the media file as it is now and whose outputs all exist is done.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::many {

// The path of the output `name`.`extension` in the folder `out`, as UTF-8.
std::string output_path(std::string_view out, std::string_view name, std::string_view extension);

// The record of the media file `media` as it is now; nothing when it cannot be read.
std::optional<std::string> describe_source(std::string_view media, std::string_view model);

// The text of the record in place for `name`; nothing without one.
std::optional<std::string> recorded_source(std::string_view out, std::string_view name);

// The media path of the record in place for `name`; nothing without one.
std::optional<std::string> recorded_media(std::string_view out, std::string_view name);

// Whether the record in place for `name` is `source` and every output of `formats` exists.
bool is_complete(std::string_view out, std::string_view name, const std::string& source,
                 const std::vector<std::string>& formats);

}  // namespace tw::many

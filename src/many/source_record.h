#pragma once
// NAME.source: what a file's outputs were made from, four lines and, when subtitles are made,
// the limits they were made with:
//   media /data/talks/talk.mp4
//   model /models/parakeet
//   size 104857600
//   modified 1733580000.123456789
//   subtitles max-line-chars=42 max-lines=2 max-cue-ms=7000 pause-ms=500 max-cps=20 ...
// A file whose record matches the media file as it is now and whose outputs all exist is done.
// While outputs are moved into place the record is a pending one, the record with the line
// "pending" after it: it names the media (the outputs beside it are ours) but matches nothing.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/subtitles/cue_limits.h"

namespace tw::many {

// The path of the output `name`.`extension` in the folder `out`, as UTF-8.
std::string output_path(std::string_view out, std::string_view name, std::string_view extension);

// The record's line of the subtitle limits, written the same way for the same limits.
std::string subtitles_line(const subtitles::CueLimits& limits);

// The record of the media file `media` as it is now, `subtitles` (a subtitles_line, or nothing
// when no subtitles are made) last; nothing when the media cannot be read.
std::optional<std::string> describe_source(std::string_view media, std::string_view model,
                                           std::string_view subtitles);

// The pending record of `source`.
std::string pending_record(const std::string& source);

// The text of the record in place for `name`; nothing without one.
std::optional<std::string> recorded_source(std::string_view out, std::string_view name);

// The media path of the record in place for `name`; nothing without one.
std::optional<std::string> recorded_media(std::string_view out, std::string_view name);

// Why the outputs of `formats` of the media file `media` cannot go into `out`: a record in place
// naming other media, or an output (or a NAME.source) there that no record names ours. Nothing
// when they can.
std::optional<std::string> outputs_conflict(std::string_view out, std::string_view name,
                                            std::string_view media,
                                            const std::vector<std::string>& formats);

// Whether the record in place for `name` is `source` and every output of `formats` exists; when
// `source` has no subtitles line, the record's is not compared (the records are the same).
bool is_complete(std::string_view out, std::string_view name, const std::string& source,
                 const std::vector<std::string>& formats);

}  // namespace tw::many

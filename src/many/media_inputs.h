#pragma once
// The media files of a run, from the arguments: media files, lists of them and folders.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "many/command_line.h"

namespace tw::many {

struct MediaFile {
  std::string path;  // absolute, without . and .. (links kept)
  std::string name;  // the file name without its extension: the outputs' name
};

// `path` made absolute against the current folder and without "." and ".." (taken out by name,
// symbolic links kept) and without a trailing separator.
Result<std::string> normalized_path(std::string_view path);

// The file name of `path` without its last extension ("talk.part.1" of "talk.part.1.wav"); only
// '/' separates folders on POSIX, '/' and '\' on Windows.
std::string output_name(std::string_view path);

// Fails with "not a regular file" for a path that names something other than a file (a named
// pipe, a device, a socket, a folder), which a decoder would wait on or read without end; a
// missing or unreadable path is left for the decoder to tell.
Status check_not_special(const std::string& path);

// FNV-1a, 64 bits, over the path's bytes: a file's shard whatever the order of the inputs.
std::uint64_t path_hash(std::string_view path);

// Every media file once, in the order given: a list (an argument ending in .list or .txt) gives
// its lines, a folder its media files by extension in name order. Refuses, naming what is at
// fault, an empty path, an unreadable list, an argument or a list entry that is the output
// folder `out` (normalized) or lies in it (links resolved), a folder without media, a file with
// no name before its extension and two files of one name. A list may start with a UTF-8 byte
// order mark. With a shard only that share of the files.
Result<std::vector<MediaFile>> collect_media(const std::vector<std::string>& inputs,
                                             std::string_view out,
                                             const std::optional<Shard>& shard);

}  // namespace tw::many

#include "many/media_inputs.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "core/platform/file_reader.h"
#include "core/platform/paths.h"
#include "core/platform/unicode_lower.h"

namespace tw::many {
namespace {

// The containers the decoder's format whitelist opens, by their usual extensions.
constexpr std::array<std::string_view, 17> MEDIA_EXTENSIONS = {
    ".wav",  ".mp3", ".m4a", ".mp4", ".aac", ".flac", ".ogg", ".opus", ".oga",
    ".webm", ".mkv", ".mka", ".mov", ".avi", ".ts",   ".flv", ".3gp"};

constexpr std::size_t LIST_READ_CHUNK = 65536;
constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

bool is_list(std::string_view argument) {
  return argument.ends_with(".list") || argument.ends_with(".txt");
}

bool is_media_name(const std::filesystem::path& path) {
  const std::string extension = unicode_lower(path_utf8(path.extension()));
  return std::ranges::find(MEDIA_EXTENSIONS, extension) != MEDIA_EXTENSIONS.end();
}

// `path` with the links of its existing part resolved, so that a place reached through a link
// compares equal to itself; as it is when that fails.
std::filesystem::path resolved(std::string_view path) {
  std::error_code error;
  std::filesystem::path real = std::filesystem::weakly_canonical(utf8_path(path), error);
  return error ? utf8_path(path) : real;
}

// Whether `path` is the folder `folder` or lies in it, component by component.
bool is_in(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto ends = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return ends.first == folder.end() || (std::next(ends.first) == folder.end() &&
                                        ends.first->empty());  // a folder with a final separator
}

Result<std::string> read_whole(const std::string& path) {
  Result<FileReader> file = FileReader::open(path);
  if (!file) return fail(std::move(file.error()));
  std::string text;
  std::string chunk(LIST_READ_CHUNK, '\0');
  for (;;) {
    Result<std::size_t> count = file->read_some(chunk);
    if (!count) return fail(std::move(count.error()));
    if (*count == 0) return text;
    text.append(chunk, 0, *count);
  }
}

// The paths of a list, blank and "#" lines skipped, each line without a final carriage return.
// `out` is the output folder as given, `resolved_out` the same with its links resolved.
Result<std::vector<std::string>> list_entries(const std::string& list, std::string_view out,
                                              const std::filesystem::path& resolved_out) {
  Result<std::string> text = read_whole(list);
  if (!text) return fail("cannot read the list " + list, std::move(text.error()));
  std::vector<std::string> entries;
  std::size_t start = text->starts_with(UTF8_BOM) ? UTF8_BOM.size() : 0;  // as Notepad saves
  while (start < text->size()) {
    std::size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    std::string line = text->substr(start, end - start);
    start = end + 1;
    if (line.ends_with('\r')) line.pop_back();
    if (line.empty() || line.starts_with('#')) continue;
    Result<std::string> path = normalized_path(line);
    if (!path) return fail(std::move(path.error()));
    if (is_in(resolved(*path), resolved_out)) {
      return fail("the list " + list + " names " + *path + " in the output folder " +
                  std::string(out));
    }
    entries.push_back(std::move(*path));
  }
  return entries;
}

Result<std::vector<std::string>> folder_entries(const std::string& folder) {
  std::vector<std::string> entries;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(utf8_path(folder), error)) {
    std::error_code kind_error;
    if (entry.is_regular_file(kind_error) && is_media_name(entry.path())) {
      entries.push_back(path_utf8(entry.path()));
    }
  }
  if (error) return fail("cannot read the folder " + folder + ": " + error.message());
  if (entries.empty()) return fail("no media files in the folder " + folder);
  std::ranges::sort(entries);
  return entries;
}

// The media files an argument names, normalized.
Result<std::vector<std::string>> expand(const std::string& argument, std::string_view out,
                                        const std::filesystem::path& resolved_out) {
  if (argument.empty()) return fail("an empty path is given as a media file");
  Result<std::string> path = normalized_path(argument);
  if (!path) return fail(std::move(path.error()));
  if (is_in(resolved(*path), resolved_out)) {
    return fail(*path + " is in the output folder " + std::string(out));
  }
  if (is_existing_directory(utf8_path(*path))) return folder_entries(*path);
  if (is_list(argument)) return list_entries(*path, out, resolved_out);
  return std::vector<std::string>{std::move(*path)};
}

}  // namespace

Result<std::string> normalized_path(std::string_view path) {
  Result<std::string> absolute = absolute_path(path);
  if (!absolute) return fail("cannot resolve " + std::string(path), std::move(absolute.error()));
  std::filesystem::path normal = utf8_path(*absolute).lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  return path_utf8(normal);
}

std::string output_name(std::string_view path) {
  const std::string name = path_file_name(path);  // only '/' separates on POSIX
  return name.substr(0, name.rfind('.'));         // all of it without a dot
}

Status check_not_special(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(utf8_path(path), error);
  if (error || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) {
    return {};
  }
  return fail("not a regular file");
}

std::uint64_t path_hash(std::string_view path) {
  constexpr std::uint64_t FNV_OFFSET = 14695981039346656037ULL;
  constexpr std::uint64_t FNV_PRIME = 1099511628211ULL;
  std::uint64_t hash = FNV_OFFSET;
  for (char c : path) {
    hash ^= static_cast<unsigned char>(c);
    hash *= FNV_PRIME;
  }
  return hash;
}

Result<std::vector<MediaFile>> collect_media(const std::vector<std::string>& inputs,
                                             std::string_view out,
                                             const std::optional<Shard>& shard) {
  std::vector<MediaFile> media;
  std::set<std::string> seen;
  std::map<std::string, std::string> path_of_name;
  const std::filesystem::path resolved_out = resolved(out);
  for (const std::string& argument : inputs) {
    Result<std::vector<std::string>> paths = expand(argument, out, resolved_out);
    if (!paths) return fail(std::move(paths.error()));
    for (std::string& path : *paths) {
      if (!seen.insert(path).second) continue;
      std::string name = output_name(path);
      if (name.empty()) {
        return fail(path + " has no name before its extension to name its outputs after");
      }
      auto [known, added] = path_of_name.emplace(name, path);
      if (!added) {
        return fail(path + " and " + known->second + " would both write " + std::string(out) + "/" +
                    name + ".*");
      }
      media.push_back(MediaFile{std::move(path), std::move(name)});
    }
  }
  if (shard) {
    std::erase_if(media, [&shard](const MediaFile& file) {
      return path_hash(file.path) % shard->count != shard->index;
    });
  }
  return media;
}

}  // namespace tw::many

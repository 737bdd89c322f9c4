#include "many/source_record.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>

#include "core/platform/file_reader.h"
#include "core/platform/file_stamp.h"
#include "core/platform/paths.h"

namespace tw::many {
namespace {

// A record is four short lines; a longer file is not one.
constexpr std::size_t MAX_RECORD_BYTES = 65536;

std::optional<std::string> read_record(const std::string& path) {
  Result<FileReader> file = FileReader::open(path);
  if (!file) return std::nullopt;
  std::string text;
  char chunk[4096];
  for (;;) {
    Result<std::size_t> count = file->read_some(chunk);
    if (!count) return std::nullopt;
    if (*count == 0) return text;
    text.append(chunk, *count);
    if (text.size() > MAX_RECORD_BYTES) return std::nullopt;
  }
}

}  // namespace

std::string output_path(std::string_view out, std::string_view name, std::string_view extension) {
  std::string file_name(name);
  file_name += '.';
  file_name += extension;
  return path_utf8(utf8_path(out) / utf8_path(file_name));
}

std::optional<std::string> describe_source(std::string_view media, std::string_view model) {
  std::optional<FileStamp> stamp = file_stamp(media);
  if (!stamp) return std::nullopt;
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "size %" PRIu64 "\nmodified %" PRId64 ".%09" PRIu32 "\n",
                stamp->size, stamp->seconds, stamp->nanoseconds);
  return "media " + std::string(media) + "\nmodel " + std::string(model) + "\n" + numbers;
}

std::optional<std::string> recorded_source(std::string_view out, std::string_view name) {
  return read_record(output_path(out, name, "source"));
}

std::optional<std::string> recorded_media(std::string_view out, std::string_view name) {
  std::optional<std::string> record = recorded_source(out, name);
  if (!record || !record->starts_with("media ")) return std::nullopt;
  return record->substr(6, record->find('\n') - 6);
}

bool is_complete(std::string_view out, std::string_view name, const std::string& source,
                 const std::vector<std::string>& formats) {
  if (recorded_source(out, name) != source) return false;
  for (const std::string& format : formats) {
    if (!is_existing_file(utf8_path(output_path(out, name, format)))) return false;
  }
  return true;
}

}  // namespace tw::many

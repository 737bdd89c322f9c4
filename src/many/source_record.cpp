#include "many/source_record.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <filesystem>

#include "core/platform/file_reader.h"
#include "core/platform/file_stamp.h"
#include "core/platform/paths.h"
#include "many/modified_time.h"

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

constexpr std::string_view SUBTITLES = "subtitles ";
constexpr std::string_view PENDING = "pending\n";

// The position of the line break before the record `text`'s subtitles line (never its first
// line); npos without one.
std::size_t subtitles_line_break(std::string_view text) {
  return text.find("\n" + std::string(SUBTITLES));
}

// The record `text` without its subtitles line.
std::string without_subtitles(std::string text) {
  std::size_t start = subtitles_line_break(text);
  if (start == std::string::npos) return text;
  ++start;
  const std::size_t end = text.find('\n', start);
  text.erase(start, end == std::string::npos ? std::string::npos : end - start + 1);
  return text;
}

std::string shortest(double value) {
  char digits[32];
  auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  return error == std::errc() ? std::string(digits, end) : "nan";
}

}  // namespace

std::string output_path(std::string_view out, std::string_view name, std::string_view extension) {
  std::string file_name(name);
  file_name += '.';
  file_name += extension;
  return path_utf8(utf8_path(out) / utf8_path(file_name));
}

std::string subtitles_line(const subtitles::CueLimits& limits) {
  return std::string(SUBTITLES) + "max-line-chars=" + std::to_string(limits.max_line_chars) +
         " max-lines=" + std::to_string(limits.max_lines) +
         " max-cue-ms=" + std::to_string(limits.max_cue_ms) +
         " pause-ms=" + std::to_string(limits.pause_ms) + " max-cps=" + shortest(limits.max_cps) +
         " min-cue-ms=" + std::to_string(limits.min_cue_ms) + " fps=" + shortest(limits.fps) +
         " cue-gap-frames=" + std::to_string(limits.cue_gap_frames) +
         " close-gap-ms=" + std::to_string(limits.close_gap_ms) + "\n";
}

std::optional<std::string> describe_source(std::string_view media, std::string_view model,
                                           std::string_view subtitles) {
  std::optional<FileStamp> stamp = file_stamp(media);
  if (!stamp) return std::nullopt;
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "size %" PRIu64 "\nmodified %s\n", stamp->size,
                modified_time_text(stamp->seconds, stamp->nanoseconds).c_str());
  return "media " + std::string(media) + "\nmodel " + std::string(model) + "\n" + numbers +
         std::string(subtitles);
}

std::string pending_record(const std::string& source) { return source + std::string(PENDING); }

std::optional<std::string> recorded_source(std::string_view out, std::string_view name) {
  return read_record(output_path(out, name, "source"));
}

std::optional<std::string> recorded_media(std::string_view out, std::string_view name) {
  std::optional<std::string> record = recorded_source(out, name);
  if (!record || !record->starts_with("media ")) return std::nullopt;
  return record->substr(6, record->find('\n') - 6);
}

std::optional<std::string> outputs_conflict(std::string_view out, std::string_view name,
                                            std::string_view media,
                                            const std::vector<std::string>& formats) {
  if (std::optional<std::string> made_from = recorded_media(out, name)) {
    if (*made_from == media) return std::nullopt;
    return std::string(media) + " would replace the outputs of " + *made_from + ", " +
           output_path(out, name, "*") + " (use another --out, or remove them first)";
  }
  std::vector<std::string> ours = formats;
  ours.push_back("source");
  for (const std::string& format : ours) {
    const std::string path = output_path(out, name, format);
    std::error_code error;
    if (std::filesystem::symlink_status(utf8_path(path), error).type() !=
        std::filesystem::file_type::not_found) {
      return std::string(media) + " would replace " + path + ", which no " + std::string(name) +
             ".source records as made by transcribe-many (use another --out, or remove it first)";
    }
  }
  return std::nullopt;
}

bool is_complete(std::string_view out, std::string_view name, const std::string& source,
                 const std::vector<std::string>& formats) {
  std::optional<std::string> recorded = recorded_source(out, name);
  if (!recorded) return false;
  if (subtitles_line_break(source) == std::string::npos) {
    recorded = without_subtitles(std::move(*recorded));
  }
  if (recorded != source) return false;
  for (const std::string& format : formats) {
    if (!is_existing_file(utf8_path(output_path(out, name, format)))) return false;
  }
  return true;
}

}  // namespace tw::many

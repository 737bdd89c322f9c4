#include "core/subtitles/record_reader.h"

#include <cmath>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "core/json/json_number.h"
#include "core/json/json_writer.h"

namespace tw::subtitles {
namespace {

constexpr std::string_view ERROR_LINE_PREFIX = "error: ";
// A byte order mark, which some editors put at the start of UTF-8 text.
constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

std::optional<double> time_of(const nlohmann::json& object, const char* key) {
  auto found = object.find(key);
  if (found == object.end() || !found->is_number()) return std::nullopt;
  const double seconds = found->get<double>();
  if (!std::isfinite(seconds)) return std::nullopt;
  return seconds;
}

// The words record's members, or nothing when the shape is not the worker's.
std::optional<RecordLine> words_record(const nlohmann::json& object) {
  auto words = object.find("words");
  std::optional<double> end = time_of(object, "end");
  if (words == object.end() || !words->is_array() || !end) return std::nullopt;
  RecordLine record;
  record.kind = RecordLine::Kind::words;
  record.end = *end;
  for (const nlohmann::json& entry : *words) {
    if (!entry.is_object()) return std::nullopt;
    auto text = entry.find("text");
    std::optional<double> start = time_of(entry, "start");
    std::optional<double> word_end = time_of(entry, "end");
    if (text == entry.end() || !text->is_string() || !start || !word_end) return std::nullopt;
    std::string word_text = text->get<std::string>();
    if (word_text.empty()) return std::nullopt;
    record.words.push_back(Word{std::move(word_text), *start, *word_end});
  }
  return record;
}

std::optional<RecordLine> parse_record(std::string_view line) {
  nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
  if (!value.is_object()) return std::nullopt;
  // Keys beyond the worker's are ignored, in the ready record as in the others.
  if (!value.contains("words") && value.contains("ready") && value["ready"] == true) {
    RecordLine ready;
    ready.kind = RecordLine::Kind::ready;
    return ready;
  }
  return words_record(value);
}

std::string seconds_text(double seconds) { return json_number(seconds) + " s"; }

std::string quoted_text(std::string_view text) {
  std::string out;
  append_json_string(out, text);
  return out;
}

}  // namespace

Result<RecordLine> RecordReader::read(std::string_view line) {
  ++line_number_;
  const std::string where = "line " + std::to_string(line_number_);
  if (line_number_ == 1 && line.starts_with(UTF8_BOM)) line.remove_prefix(UTF8_BOM.size());
  if (line.starts_with(ERROR_LINE_PREFIX)) {
    RecordLine failure;
    failure.kind = RecordLine::Kind::worker_error;
    failure.reason = line.substr(ERROR_LINE_PREFIX.size());
    return failure;
  }
  if (!line.starts_with('{')) return RecordLine{};
  std::optional<RecordLine> record = parse_record(line);
  if (!record) return fail(where, Error("not a record"));
  if (Status order = check_order(*record); !order) return fail(where, std::move(order.error()));
  any_record_ = true;
  if (record->kind == RecordLine::Kind::words) {
    last_end_ = record->end;
    if (!record->words.empty()) last_word_start_ = record->words.back().start;
  }
  return std::move(*record);
}

Status RecordReader::check_order(const RecordLine& record) const {
  if (record.kind == RecordLine::Kind::ready) {
    if (any_record_) return fail("record out of order: a ready record after the first record");
    return {};
  }
  if (record.end < last_end_) {
    return fail("record out of order: it ends at " + seconds_text(record.end) +
                ", before the record before it (" + seconds_text(last_end_) + ")");
  }
  double previous_start = last_word_start_;
  for (const Word& word : record.words) {
    if (word.start < previous_start) {
      return fail("record out of order: word " + quoted_text(word.text) + " starts at " +
                  seconds_text(word.start) + ", before the word before it (" +
                  seconds_text(previous_start) + ")");
    }
    if (word.end < word.start) {
      return fail("record out of order: word " + quoted_text(word.text) + " ends at " +
                  seconds_text(word.end) + ", before its start (" + seconds_text(word.start) + ")");
    }
    previous_start = word.start;
  }
  return {};
}

}  // namespace tw::subtitles

#include "core/asr/result_json.h"

#include <charconv>
#include <cstdint>
#include <set>

#include <nlohmann/json.hpp>

namespace tw {
namespace {

using json = nlohmann::json;

// Walks the SAX events of one result object. Every handler returns false to stop the parse as
// soon as the text cannot be a valid result.
class ResultReader {
 public:
  using number_integer_t = json::number_integer_t;
  using number_unsigned_t = json::number_unsigned_t;
  using number_float_t = json::number_float_t;
  using string_t = json::string_t;
  using binary_t = json::binary_t;

  bool null() {
    if (depth_ == 1 && (member_ == Member::Timestamps || member_ == Member::Durations)) {
      return true;  // null reads as absent
    }
    return other_scalar();
  }
  bool boolean(bool) { return other_scalar(); }
  bool number_integer(number_integer_t value) { return number(static_cast<double>(value)); }
  bool number_unsigned(number_unsigned_t value) { return number(static_cast<double>(value)); }
  bool number_float(number_float_t value, const string_t& text) {
    // The parser's own conversion goes through the C library, which need not round correctly
    // everywhere; from_chars does.
    double exact = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), exact);
    if (error == std::errc() && end == text.data() + text.size()) value = exact;
    return number(value);
  }
  bool string(string_t& value) {
    if (depth_ == 1 && member_ == Member::Text) {
      result_.text = std::move(value);
      return true;
    }
    if (depth_ == 2 && member_ == Member::Tokens) {
      result_.tokens.push_back(std::move(value));
      return true;
    }
    return other_scalar();
  }
  bool binary(binary_t&) { return false; }  // never produced by the JSON reader

  bool start_object(std::size_t) {
    if (depth_ == 0) {
      depth_ = 1;
      return true;
    }
    return open_other();
  }
  bool end_object() {
    if (depth_ == 1) {
      depth_ = 0;
      complete_ = seen_.contains("text") && seen_.contains("tokens");
      return complete_;
    }
    return close_other();
  }
  bool key(string_t& name) {
    if (depth_ != 1) return true;  // inside an ignored member
    if (!seen_.insert(name).second) return false;
    member_ = name == "text"         ? Member::Text
              : name == "tokens"     ? Member::Tokens
              : name == "timestamps" ? Member::Timestamps
              : name == "durations"  ? Member::Durations
                                     : Member::Other;
    return true;
  }
  bool start_array(std::size_t) {
    if (depth_ == 1) {
      switch (member_) {
        case Member::Text:
          return false;
        case Member::Tokens:
          break;
        case Member::Timestamps:
          result_.timestamps.emplace();
          break;
        case Member::Durations:
          result_.durations.emplace();
          break;
        case Member::Other:
          return open_other();
      }
      depth_ = 2;
      return true;
    }
    return open_other();
  }
  bool end_array() {
    if (depth_ == 2 && member_ != Member::Other) {
      depth_ = 1;
      return true;
    }
    return close_other();
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
    return false;
  }

  std::optional<OfflineRecognizerResult> take() {
    if (!complete_) return std::nullopt;
    return std::move(result_);
  }

 private:
  enum class Member { Text, Tokens, Timestamps, Durations, Other };

  bool number(double value) {
    if (depth_ == 2 && member_ == Member::Timestamps) {
      result_.timestamps->push_back(static_cast<float>(value));
      return true;
    }
    if (depth_ == 2 && member_ == Member::Durations) {
      result_.durations->push_back(static_cast<float>(value));
      return true;
    }
    return other_scalar();
  }

  // A scalar is acceptable only as (part of) a member that is not read.
  bool other_scalar() const { return depth_ >= 1 && member_ == Member::Other; }

  bool open_other() {
    if (depth_ == 0 || member_ != Member::Other) return false;
    ++depth_;
    return true;
  }
  bool close_other() {
    --depth_;
    return true;
  }

  OfflineRecognizerResult result_;
  std::set<std::string> seen_;
  Member member_ = Member::Other;
  int depth_ = 0;  // 1 inside the result object, 2 inside one of its arrays, more deeper down
  bool complete_ = false;
};

}  // namespace

std::optional<OfflineRecognizerResult> parse_recognizer_result(std::string_view text) {
  ResultReader reader;
  if (!json::sax_parse(text, &reader, json::input_format_t::json, /*strict=*/true)) {
    return std::nullopt;
  }
  return reader.take();
}

}  // namespace tw

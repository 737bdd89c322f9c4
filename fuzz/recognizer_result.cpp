// The recognition result reader: the library's result text, as read_words fetches, repairs,
// parses and turns it into words, checked against a reading of the same text with nlohmann's
// DOM.
//
// Input: the result text the library gives for a stream (up to its first NUL byte).

#include <algorithm>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "core/asr/read_words.h"
#include "core/asr/result_json.h"
#include "core/text/utf8.h"
#include "core/text/white_space.h"
#include "fuzz_check.h"

namespace {

using tw::fuzz::expect;

// A library whose one stream's result is the current input.
struct FakeResult {
  std::string text;
  int released = 0;
};
FakeResult current;

const tw::SpeechCalls& fake_calls() {
  static const tw::SpeechCalls calls = [] {
    tw::SpeechCalls only_results{};
    only_results.result_json = [](tw::StreamHandle) { return current.text.c_str(); };
    only_results.release_result_json = [](const char* text) {
      expect(text == current.text.c_str(), "released a text the library never gave");
      ++current.released;
    };
    return only_results;
  }();
  return calls;
}

bool is_number_list(const nlohmann::json& value) {
  return value.is_array() && std::ranges::all_of(value, &nlohmann::json::is_number);
}

// What the result reader must make of `text`, read with nlohmann's DOM: nothing unless it is an
// object without repeated keys, "text" a string, "tokens" strings, "timestamps" and "durations"
// absent, null or numbers.
std::optional<tw::OfflineRecognizerResult> read_with_dom(const std::string& text) {
  std::set<std::string> keys;
  bool repeated_key = false;
  const nlohmann::json dom = nlohmann::json::parse(
      text,
      [&](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        if (depth == 1 && event == nlohmann::json::parse_event_t::key) {
          repeated_key |= !keys.insert(parsed.get<std::string>()).second;
        }
        return true;
      },
      /*allow_exceptions=*/false);
  if (repeated_key || !dom.is_object() || !dom.contains("text") || !dom["text"].is_string() ||
      !dom.contains("tokens") || !dom["tokens"].is_array() ||
      !std::ranges::all_of(dom["tokens"], &nlohmann::json::is_string)) {
    return std::nullopt;
  }
  tw::OfflineRecognizerResult result{
      dom["text"].get<std::string>(), dom["tokens"].get<std::vector<std::string>>(), {}, {}};
  for (auto [key, list] :
       {std::pair{"timestamps", &result.timestamps}, std::pair{"durations", &result.durations}}) {
    if (!dom.contains(key) || dom[key].is_null()) continue;
    if (!is_number_list(dom[key])) return std::nullopt;
    list->emplace();
    for (const nlohmann::json& number : dom[key]) {
      (*list)->push_back(static_cast<float>(number.get<double>()));
    }
  }
  return result;
}

bool same_result(const tw::OfflineRecognizerResult& a, const tw::OfflineRecognizerResult& b) {
  return a.text == b.text && a.tokens == b.tokens && a.timestamps == b.timestamps &&
         a.durations == b.durations;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  current = FakeResult{std::string(tw::fuzz::as_text(data, size))};
  constexpr double OFFSET_SECONDS = 12.5;
  const std::vector<tw::Word> words = tw::read_words(fake_calls(), nullptr, OFFSET_SECONDS);
  expect(current.released == 1, "the result text was not released exactly once");
  for (const tw::Word& word : words) {
    expect(!word.text.empty() && tw::is_valid_utf8(word.text), "an empty or invalid word");
    expect(tw::trim_leading_unicode_white_space(word.text) == word.text,
           "a word begins with white space");
  }

  const std::string repaired = tw::repair_utf8(current.text.c_str());
  const std::optional<tw::OfflineRecognizerResult> expected = read_with_dom(repaired);
  const std::optional<tw::OfflineRecognizerResult> result = tw::parse_recognizer_result(repaired);
  expect(expected.has_value() == result.has_value() && (!result || same_result(*result, *expected)),
         "the result reader and nlohmann's DOM read the result differently");
  if (result) {
    const std::size_t timed_tokens =
        result->timestamps ? std::min(result->tokens.size(), result->timestamps->size()) : 0;
    expect(words.size() <= timed_tokens, "more words than timed tokens");
  } else {
    expect(words.empty(), "words from an unreadable result");
  }
  return 0;
}

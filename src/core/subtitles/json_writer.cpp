// One JSON document that grows a cue at a time:
//   {"cues":[
//   {"end":1.68,"lines":["hello world"],"start":0.48,"words":[{"end":..,"start":..,"text":..}]},
//   ...
//   ]}
#include <nlohmann/json.hpp>

#include "core/json/json_writer.h"
#include "core/subtitles/document_writer.h"

namespace tw::subtitles {
namespace {

double seconds(Milliseconds ms) { return static_cast<double>(ms) / 1000.0; }

// The cue's times as written in the other formats; its words with the records' own times.
nlohmann::json cue_object(const Cue& cue) {
  nlohmann::json words = nlohmann::json::array();
  for (const CueWord& word : cue.words) {
    words.push_back({{"end", word.end}, {"start", word.start}, {"text", word.text}});
  }
  return {{"end", seconds(cue.end_ms)},
          {"lines", cue.lines},
          {"start", seconds(cue.start_ms)},
          {"words", std::move(words)}};
}

class JsonWriter : public DocumentWriter {
 public:
  std::string begin() override { return "{\"cues\":[\n"; }

  std::string cue(const Cue& cue) override {
    std::string text = any_cue_ ? ",\n" : "";
    any_cue_ = true;
    return text + compact_json(cue_object(cue));
  }

  std::string end() override { return any_cue_ ? "\n]}\n" : "]}\n"; }

 private:
  bool any_cue_ = false;
};

}  // namespace

std::unique_ptr<DocumentWriter> make_json_writer() { return std::make_unique<JsonWriter>(); }

}  // namespace tw::subtitles

// The ONNX protobuf reader and the model check: an encoder and a joiner read as ONNX models, the
// encoder's metadata and features input, the joiner's output size and the tokens table checked
// as check_model_files does with a model directory's files.
//
// Input: the encoder file, the joiner file and tokens.txt, separated by the line "@@@@" (a
// missing part is empty).

#include <algorithm>

#include "core/asr/model_check.h"
#include "core/asr/onnx_model.h"
#include "fuzz_check.h"

namespace {

using tw::fuzz::expect;

constexpr std::string_view PART_SEPARATOR = "\n@@@@\n";

tw::Result<tw::OnnxModelSummary> read_model(std::string bytes) {
  tw::MemoryBytes source(std::move(bytes));
  tw::Result<tw::OnnxModelSummary> summary = tw::read_onnx_model(source);
  if (summary) {
    // check_joiner_output takes the last dimension without asking for the rank.
    for (const auto* dims : {&summary->first_input_dims, &summary->first_output_dims}) {
      expect(!*dims || !(*dims)->empty(), "a shape of rank 0 kept");
    }
  }
  return summary;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts =
      tw::fuzz::split_at(tw::fuzz::as_text(data, size), PART_SEPARATOR);
  parts.resize(std::max<std::size_t>(parts.size(), 3));

  const tw::Result<tw::OnnxModelSummary> encoder = read_model(std::move(parts[0]));
  const tw::Result<tw::OnnxModelSummary> joiner = read_model(std::move(parts[1]));
  // Without an encoder's vocabulary the tokens table is still read in full: only the counts at
  // its end are compared with the vocabulary.
  std::int64_t vocab_with_blank = 0;
  if (encoder) {
    const tw::Result<std::int64_t> vocabulary = tw::check_encoder_metadata(*encoder);
    (void)tw::check_encoder_input(*encoder);
    if (vocabulary) {
      expect(*vocabulary >= 1, "a vocabulary without its blank");
      vocab_with_blank = *vocabulary;
      if (joiner) (void)tw::check_joiner_output(*joiner, *vocabulary, tw::is_tdt_model(*encoder));
    }
  }
  (void)tw::check_tokens(parts[2], vocab_with_blank);
  return 0;
}

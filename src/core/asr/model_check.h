#pragma once
// A look at a model's files before the speech library loads them.
//
// The library reports only missing files as a failure it returns. A file that is not an ONNX
// model makes it throw out of its C interface (an exception a mingw program cannot catch), and
// missing or bad encoder metadata, a tokens.txt that does not fit the model or a joiner of the
// wrong size make it end the whole process. This check finds those problems first, so that a
// bad model is refused like a missing one.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/asr/model_files.h"
#include "core/asr/onnx_model.h"
#include "core/error.h"

namespace tw {

// What the check learnt about a model, as far as it got.
struct ModelFacts {
  // The external-data files each network names, beside it.
  std::vector<std::string> encoder_weights;
  std::vector<std::string> decoder_weights;
  std::vector<std::string> joiner_weights;
  std::optional<std::int64_t> vocab_size;  // tokens without the blank
  std::optional<std::int64_t> subsampling;
  std::optional<std::string> normalize_type;  // as the metadata gives it; absent reads as ""
  std::optional<std::int64_t> feature_bins;   // log-mel bins the library computes
  std::optional<bool> tdt;
  std::optional<std::int64_t> tokens;  // in tokens.txt, the blank included
};

// Succeeds when every file exists (the external weights files the networks name included) and
// nothing the library would die of was found; otherwise
// the error says what is wrong and in which file (by its name in the model directory). `facts`
// gets what was found before the check ended.
Status check_model_files(const ModelFiles& files, ModelFacts& facts);
Status check_model_files(const ModelFiles& files);

// The parts, each given the file's contents.

// The encoder's metadata: vocab_size, subsampling_factor, pred_rnn_layers and pred_hidden
// present as non-negative decimal integers that fit 32 bits; feat_dim and is_giga_am, if given,
// not negative; normalize_type, if given, one of "", "NA" and "per_feature". On success, the
// number of tokens with the blank (vocab_size + 1).
Result<std::int64_t> check_encoder_metadata(const OnnxModelSummary& encoder);

// The log-mel bins the library computes for an encoder: 64 for a GigaAM model (is_giga_am not
// 0), else feat_dim when above 0, else 80.
std::int64_t feature_bins(const OnnxModelSummary& encoder);

// The encoder's features input (N, bins, T) must take feature_bins(encoder) bins. Otherwise
// ONNX Runtime refuses the first decode, which ends the process. A symbolic size, or no shape,
// passes.
Status check_encoder_input(const OnnxModelSummary& encoder);

// Whether the encoder's url metadata marks a TDT model (the lower-case text "tdt" in it).
bool is_tdt_model(const OnnxModelSummary& encoder);

// The joiner's first output must declare a shape. A fixed last dimension must be
// `vocab_with_blank` for a plain transducer and something else for a TDT model (the library
// checks the size ONNX Runtime reports, which is the declared one unless shape inference finds
// another; a symbolic one is left to the library).
Status check_joiner_output(const OnnxModelSummary& joiner, std::int64_t vocab_with_blank, bool tdt);

// tokens.txt: lines of a symbol and an integer id (or an id alone, the space token), at most
// two fields, "<blk>" present with id vocab_with_blank - 1, and vocab_with_blank distinct ids.
Status check_tokens(std::string_view text, std::int64_t vocab_with_blank);

}  // namespace tw

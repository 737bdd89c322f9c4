#pragma once
// What transcribe-model-check prints about a model directory: one fact a line.

#include <string>
#include <vector>

#include "core/asr/model_check.h"
#include "core/asr/model_files.h"

namespace tw {

// The file chosen for each network and its variant, or the names looked for when there is none:
// "encoder: encoder.int8.onnx (int8)", "joiner: none of joiner.int8.onnx, ...".
std::vector<std::string> file_lines(const ModelFiles& files);

// The facts the check found, in this order and only those it got to: external weights files,
// vocabulary size, feature bins, subsampling, TDT or plain, normalisation, tokens.
std::vector<std::string> fact_lines(const ModelFacts& facts);

// What the worker will do with a model that passed.
inline constexpr const char* MODEL_OK_LINE = "ok: the worker will load this model";
inline constexpr const char* LIBRARY_OK_LINE =
    "speech library: loaded the model and decoded a second of silence";

}  // namespace tw

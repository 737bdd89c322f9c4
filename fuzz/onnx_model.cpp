// The ONNX protobuf reader and the model check: an encoder and a joiner read as ONNX models, the
// encoder's metadata and features input, the joiner's output size and the tokens table checked
// as check_model_files does with a model directory's files; then the same files written to a
// folder and checked whole, and for a model the check accepts, the facts it reports compared
// with what this target reads from the files itself.
//
// Input: the encoder file, the joiner file and tokens.txt, separated by the line "@@@@" (a
// missing part is empty). The joiner's file serves as the decoder too.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

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

// A folder of this process for the model files, made once and removed at exit.
const std::filesystem::path& model_folder() {
  static const std::filesystem::path* const folder = [] {
    // In memory where there is a tmpfs: files are written for every input.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = base / "fuzz_onnx_model.XXXXXX";
    expect(mkdtemp(pattern.data()) != nullptr, "no folder for the model files");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(model_folder(), ignored);
    });
    return new std::filesystem::path(pattern);
  }();
  return *folder;
}

std::string write_file(const std::string& name, const std::string& bytes) {
  const std::filesystem::path path = model_folder() / name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path.string();
}

// A metadata value as the library reads it (strtol's reading, which atoi is); 0 when absent.
std::int64_t metadata_number(const tw::OnnxModelSummary& encoder, const std::string& key) {
  auto entry = encoder.metadata.find(key);
  return entry == encoder.metadata.end() ? 0 : std::strtoll(entry->second.c_str(), nullptr, 10);
}

std::string metadata_text(const tw::OnnxModelSummary& encoder, const std::string& key) {
  auto entry = encoder.metadata.find(key);
  return entry == encoder.metadata.end() ? "" : entry->second;
}

// The distinct ids of tokens.txt: the last field of every line that has one.
std::size_t distinct_token_ids(const std::string& text) {
  std::set<std::int64_t> ids;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string field, last;
    while (fields >> field) last = field;
    if (!last.empty())
      ids.insert(
          std::clamp<std::int64_t>(std::strtoll(last.c_str(), nullptr, 10), INT32_MIN, INT32_MAX));
  }
  return ids.size();
}

// The whole check over the files; for an accepted model, its facts against this target's own
// reading of the same bytes.
void check_whole_model(const std::vector<std::string>& parts,
                       const tw::Result<tw::OnnxModelSummary>& encoder,
                       const tw::Result<tw::OnnxModelSummary>& joiner) {
  tw::ModelFiles files;
  files.encoder = write_file("encoder.onnx", parts[0]);
  files.decoder = files.joiner = write_file("joiner.onnx", parts[1]);
  files.tokens = write_file("tokens.txt", parts[2]);
  tw::ModelFacts facts;
  if (!tw::check_model_files(files, facts)) return;
  expect(encoder && joiner, "a model accepted whose files do not read as ONNX");
  const std::int64_t vocab_size = metadata_number(*encoder, "vocab_size");
  expect(facts.vocab_size == vocab_size, "a vocabulary size other than the metadata's");
  expect(facts.tokens == vocab_size + 1 &&
             distinct_token_ids(parts[2]) == static_cast<std::size_t>(vocab_size + 1),
         "a token count other than tokens.txt's");
  expect(facts.subsampling == metadata_number(*encoder, "subsampling_factor"),
         "a subsampling factor other than the metadata's");
  const std::int64_t feat_dim = metadata_number(*encoder, "feat_dim");
  const std::int64_t bins = metadata_number(*encoder, "is_giga_am") != 0 ? 64
                            : feat_dim > 0                               ? feat_dim
                                                                         : 80;
  expect(facts.feature_bins == bins, "feature bins other than the metadata's");
  const auto& input = encoder->first_input_dims;
  expect(!input || input->size() < 2 || !(*input)[1] || *(*input)[1] == bins,
         "a features input of other bins accepted");
  // A TDT joiner's output also holds the durations: never the token count.
  const auto& output = joiner->first_output_dims;
  const bool tdt = metadata_text(*encoder, "url").find("tdt") != std::string::npos;
  expect(facts.tdt == tdt, "a TDT model not told from its url");
  expect(output && (!output->back() || (*output->back() == vocab_size + 1) != tdt),
         "a joiner output of another size accepted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts =
      tw::fuzz::split_at(tw::fuzz::as_text(data, size), PART_SEPARATOR);
  parts.resize(std::max<std::size_t>(parts.size(), 3));

  const tw::Result<tw::OnnxModelSummary> encoder = read_model(parts[0]);
  const tw::Result<tw::OnnxModelSummary> joiner = read_model(parts[1]);
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
  check_whole_model(parts, encoder, joiner);
  return 0;
}

#include "core/asr/model_check.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <sstream>

#include "core/platform/paths.h"

namespace tw {
namespace {

// Keys the library reads from the encoder with atoi and dies without (or on a negative value).
constexpr std::array<std::string_view, 4> REQUIRED_INTEGER_KEYS = {
    "vocab_size", "subsampling_factor", "pred_rnn_layers", "pred_hidden"};
// Optional keys read the same way: a negative value ends the process.
constexpr std::array<std::string_view, 2> OPTIONAL_INTEGER_KEYS = {"feat_dim", "is_giga_am"};
constexpr std::array<std::string_view, 3> NORMALIZE_TYPES = {"", "NA", "per_feature"};
// Log-mel bins the library computes for an encoder, unless its metadata says otherwise.
constexpr std::int64_t DEFAULT_FEATURE_BINS = 80;
constexpr std::int64_t GIGA_AM_FEATURE_BINS = 64;
// tokens.txt of a real model is well under a megabyte; a bigger one is not a token table.
constexpr std::uintmax_t MAX_TOKENS_BYTES = 64 * 1024 * 1024;

// How atoi reads a text: leading white space, an optional sign, then digits up to the first
// other character; 0 when there are none.
struct AtoiReading {
  std::int64_t value = 0;
  bool has_digits = false;
  bool fits = true;  // in 32 bits
};

AtoiReading read_like_atoi(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  AtoiReading reading;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    reading.has_digits = true;
    if (reading.fits) reading.value = reading.value * 10 + (text[i] - '0');
    reading.fits = reading.fits && reading.value <= std::numeric_limits<std::uint32_t>::max();
  }
  if (negative) reading.value = -reading.value;
  reading.fits = reading.fits && reading.value >= std::numeric_limits<std::int32_t>::min() &&
                 reading.value <= std::numeric_limits<std::int32_t>::max();
  return reading;
}

// A required key's value: a number, not negative.
bool is_count(std::string_view text) {
  const AtoiReading reading = read_like_atoi(text);
  return reading.has_digits && reading.fits && reading.value >= 0;
}

// An optional key's value: absent or not a number reads as 0; negative is fatal.
bool is_optional_count(const OnnxModelSummary& encoder, std::string_view key) {
  auto entry = encoder.metadata.find(std::string(key));
  if (entry == encoder.metadata.end()) return true;
  const AtoiReading reading = read_like_atoi(entry->second);
  return reading.fits && reading.value >= 0;
}

std::int64_t optional_count(const OnnxModelSummary& encoder, std::string_view key) {
  auto entry = encoder.metadata.find(std::string(key));
  return entry == encoder.metadata.end() ? 0 : read_like_atoi(entry->second).value;
}

// Splits a tokens.txt line on white space, as the library's stream extraction does.
std::vector<std::string> fields_of(const std::string& line) {
  std::istringstream words(line);
  return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

std::int64_t clamp_to_int32(std::int64_t value) {
  return std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                  std::numeric_limits<std::int32_t>::max());
}

// Digits with an optional sign, the text as a whole: how the library reads the id after a
// symbol (an id too large for 32 bits reads as the nearest 32-bit value).
std::optional<std::int64_t> token_id(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || value > std::numeric_limits<std::uint32_t>::max()) {
    return negative ? std::numeric_limits<std::int32_t>::min()
                    : std::numeric_limits<std::int32_t>::max();
  }
  return clamp_to_int32(negative ? -static_cast<std::int64_t>(value)
                                 : static_cast<std::int64_t>(value));
}

// How the library reads a line that holds only an id (the space token): with atoi.
std::int64_t lone_token_id(std::string_view text) {
  return clamp_to_int32(read_like_atoi(text).value);
}

// Errors name a file by its name alone: the directory is the one the user gave.
Error unreadable(const std::string& path) {
  return Error(path_file_name(path) +
               (is_existing_file(utf8_path(path)) ? ": cannot be read" : ": no such file"));
}

// ONNX Runtime reads a network's external data from beside it and throws when a file is missing.
Status check_external_data(const std::string& model_path, const OnnxModelSummary& model) {
  const std::filesystem::path directory = utf8_path(model_path).parent_path();
  for (const std::string& file : model.external_data_files) {
    if (!is_existing_file(directory / utf8_path(file))) {
      return fail("its weights file " + file + " is missing");
    }
  }
  return {};
}

Result<OnnxModelSummary> read_model_file(const std::string& path) {
  std::optional<FileBytes> bytes = FileBytes::open(utf8_path(path));
  if (!bytes) return fail(unreadable(path));
  Result<OnnxModelSummary> summary = read_onnx_model(*bytes);
  if (!summary) return fail(path_file_name(path), std::move(summary.error()));
  if (Status s = check_external_data(path, *summary); !s) {
    return fail(path_file_name(path), std::move(s.error()));
  }
  return summary;
}

Result<std::string> read_text_file(const std::string& path) {
  const std::filesystem::path native = utf8_path(path);
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(native, error);
  if (error || size > MAX_TOKENS_BYTES) return fail(unreadable(path));
  std::ifstream file(native, std::ios::binary);
  std::string text(static_cast<std::size_t>(size), '\0');
  if (!file.read(text.data(), static_cast<std::streamsize>(text.size()))) {
    return fail(unreadable(path));
  }
  return text;
}

}  // namespace

Result<std::int64_t> check_encoder_metadata(const OnnxModelSummary& encoder) {
  std::int64_t vocab_size = 0;
  for (std::string_view key : REQUIRED_INTEGER_KEYS) {
    auto entry = encoder.metadata.find(std::string(key));
    if (entry == encoder.metadata.end()) return fail("no " + std::string(key) + " in the metadata");
    if (!is_count(entry->second)) return fail(std::string(key) + " is not a non-negative integer");
    if (key == "vocab_size") vocab_size = read_like_atoi(entry->second).value;
  }
  for (std::string_view key : OPTIONAL_INTEGER_KEYS) {
    if (!is_optional_count(encoder, key)) return fail(std::string(key) + " is negative");
  }
  auto normalize = encoder.metadata.find("normalize_type");
  if (normalize != encoder.metadata.end() &&
      std::find(NORMALIZE_TYPES.begin(), NORMALIZE_TYPES.end(),
                std::string_view(normalize->second)) == NORMALIZE_TYPES.end()) {
    return fail("unknown normalize_type");
  }
  return vocab_size + 1;
}

std::int64_t feature_bins(const OnnxModelSummary& encoder) {
  const std::int64_t feat_dim = optional_count(encoder, "feat_dim");
  return optional_count(encoder, "is_giga_am") != 0 ? GIGA_AM_FEATURE_BINS
         : feat_dim > 0                             ? feat_dim
                                                    : DEFAULT_FEATURE_BINS;
}

Status check_encoder_input(const OnnxModelSummary& encoder) {
  const std::int64_t bins = feature_bins(encoder);
  if (!encoder.first_input_dims || encoder.first_input_dims->size() < 2) return {};
  const std::optional<std::int64_t> declared = (*encoder.first_input_dims)[1];
  if (declared && *declared != bins) {
    return fail("the features input takes " + std::to_string(*declared) +
                " bins, the metadata calls for " + std::to_string(bins));
  }
  return {};
}

bool is_tdt_model(const OnnxModelSummary& encoder) {
  auto url = encoder.metadata.find("url");
  return url != encoder.metadata.end() && url->second.find("tdt") != std::string::npos;
}

Status check_joiner_output(const OnnxModelSummary& joiner, std::int64_t vocab_with_blank,
                           bool tdt) {
  if (!joiner.first_output_dims) return fail("the output declares no shape");
  const std::optional<std::int64_t> last = joiner.first_output_dims->back();
  if (!last) return {};  // symbolic: only ONNX Runtime's shape inference can tell
  if (tdt && *last == vocab_with_blank) {
    return fail("a TDT model's output has no room for durations");
  }
  if (!tdt && *last != vocab_with_blank) {
    return fail("the output size is not the number of tokens");
  }
  return {};
}

Status check_tokens(std::string_view text, std::int64_t vocab_with_blank) {
  std::set<std::int64_t> ids;
  std::optional<std::int64_t> blank_id;
  std::istringstream lines{std::string(text)};
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    const std::vector<std::string> fields = fields_of(line);
    if (fields.empty()) continue;
    if (fields.size() > 2) return fail("line " + std::to_string(number) + " has a third field");
    if (fields.size() == 1) {
      ids.insert(lone_token_id(fields[0]));
      continue;
    }
    std::optional<std::int64_t> id = token_id(fields[1]);
    if (!id) return fail("line " + std::to_string(number) + " has no integer id");
    ids.insert(*id);
    if (fields[0] == "<blk>") blank_id = id;
  }
  if (!blank_id) return fail("no <blk>");
  if (*blank_id != vocab_with_blank - 1) return fail("<blk> is not the last token");
  if (static_cast<std::int64_t>(ids.size()) != vocab_with_blank) {
    return fail(std::to_string(ids.size()) + " tokens, the model has " +
                std::to_string(vocab_with_blank));
  }
  return {};
}

Status check_model_files(const ModelFiles& files, ModelFacts& facts) {
  Result<OnnxModelSummary> encoder = read_model_file(files.encoder);
  if (!encoder) return fail(std::move(encoder.error()));
  facts.encoder_weights = encoder->external_data_files;
  Result<OnnxModelSummary> decoder = read_model_file(files.decoder);
  if (!decoder) return fail(std::move(decoder.error()));
  facts.decoder_weights = decoder->external_data_files;
  Result<OnnxModelSummary> joiner = read_model_file(files.joiner);
  if (!joiner) return fail(std::move(joiner.error()));
  facts.joiner_weights = joiner->external_data_files;

  Result<std::int64_t> vocab_with_blank = check_encoder_metadata(*encoder);
  if (!vocab_with_blank)
    return fail(path_file_name(files.encoder), std::move(vocab_with_blank.error()));
  facts.vocab_size = *vocab_with_blank - 1;
  facts.subsampling = optional_count(*encoder, "subsampling_factor");
  auto normalize = encoder->metadata.find("normalize_type");
  facts.normalize_type = normalize == encoder->metadata.end() ? "" : normalize->second;
  facts.feature_bins = feature_bins(*encoder);
  facts.tdt = is_tdt_model(*encoder);
  if (Status s = check_encoder_input(*encoder); !s) {
    return fail(path_file_name(files.encoder), std::move(s.error()));
  }
  if (Status s = check_joiner_output(*joiner, *vocab_with_blank, *facts.tdt); !s) {
    return fail(path_file_name(files.joiner), std::move(s.error()));
  }
  Result<std::string> tokens = read_text_file(files.tokens);
  if (!tokens) return fail(std::move(tokens.error()));
  if (Status s = check_tokens(*tokens, *vocab_with_blank); !s) {
    return fail(path_file_name(files.tokens), std::move(s.error()));
  }
  facts.tokens = *vocab_with_blank;
  return {};
}

Status check_model_files(const ModelFiles& files) {
  ModelFacts facts;
  return check_model_files(files, facts);
}

}  // namespace tw

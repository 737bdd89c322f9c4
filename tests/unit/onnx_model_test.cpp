#include "core/asr/onnx_model.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/platform/paths.h"
#include "protobuf_bytes.h"

namespace tw {
namespace {

using namespace testing;
using namespace testing::onnx;

std::vector<WireField> fields_of(const std::string& bytes, bool* failed = nullptr) {
  MemoryBytes source(bytes);
  MessageReader reader(source);
  std::vector<WireField> fields;
  while (auto field = reader.next()) fields.push_back(*field);
  if (failed != nullptr) *failed = reader.failed();
  return fields;
}

TEST(MessageReader, ReadsEveryWireTypeInOrder) {
  const std::string fixed32 = tag(3, 5) + std::string("\x01\x02\x03\x04", 4);
  const std::string fixed64 = tag(4, 1) + std::string("\x01\0\0\0\0\0\0\x80", 8);
  bool failed = true;
  const auto fields = fields_of(varint_field(1, 300) + bytes_field(2, "abc") + fixed32 + fixed64 +
                                    varint_field(536870911, 0xFFFFFFFFFFFFFFFFull),
                                &failed);
  EXPECT_FALSE(failed);
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0].number, 1u);
  EXPECT_EQ(fields[0].value, 300u);
  EXPECT_EQ(fields[1].type, WireType::Bytes);
  EXPECT_EQ(fields[1].length, 3u);
  EXPECT_EQ(fields[2].value, 0x04030201u);
  EXPECT_EQ(fields[3].value, 0x8000000000000001ull);
  EXPECT_EQ(fields[4].number, 536870911u);
  EXPECT_EQ(fields[4].value, 0xFFFFFFFFFFFFFFFFull);
}

TEST(MessageReader, SkipsGroupsWhole) {
  const std::string group = tag(5, 3) + varint_field(1, 1) + tag(6, 3) + tag(6, 4) + tag(5, 4);
  bool failed = true;
  const auto fields = fields_of(varint_field(1, 7) + group + varint_field(2, 9), &failed);
  EXPECT_FALSE(failed);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[1].value, 9u);
}

TEST(MessageReader, StopsAtMalformedBytes) {
  const std::vector<std::string> malformed = {
      "\x08",                                              // a varint cut off
      "\x08\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01",  // a varint of eleven bytes
      std::string("\x00\x01", 2),                          // field number 0
      "\x0E\x01",                                          // wire type 6
      "\x0F\x01",                                          // wire type 7
      "\x12\x05"
      "abc",                           // a payload longer than what is left
      "\x0D\x01\x02",                  // a fixed32 cut off
      tag(5, 4),                       // a group end without its start
      tag(5, 3) + varint_field(1, 1),  // a group without its end
      tag(5, 3) + tag(6, 4),           // a group ended by another number
  };
  for (const std::string& bytes : malformed) {
    bool failed = false;
    fields_of(bytes, &failed);
    EXPECT_TRUE(failed) << ::testing::PrintToString(bytes);
  }
}

TEST(MessageReader, NestedMessagesAreBoundedByTheirField) {
  // The inner message's bytes run exactly to the end of its field, not beyond.
  MemoryBytes source(bytes_field(1, varint_field(2, 5)) + varint_field(3, 6));
  MessageReader outer(source);
  auto field = outer.next();
  ASSERT_TRUE(field);
  MessageReader inner = outer.nested(*field);
  auto inner_field = inner.next();
  ASSERT_TRUE(inner_field);
  EXPECT_EQ(inner_field->value, 5u);
  EXPECT_FALSE(inner.next());
  EXPECT_FALSE(inner.failed());
  EXPECT_EQ(outer.next()->value, 6u);
}

std::string tone_like_model() {
  return IR_VERSION + metadata("vocab_size", "54") + metadata("url", "x") +
         graph(node("Add") + input("x", dim("N") + dim(80) + dim("T")) + input("x_lens", dim(1)) +
               output("logit", dim("N") + dim(1) + dim(1) + dim(60)) + output("other", dim(2))) +
         metadata("vocab_size", "55");
}

TEST(ReadOnnxModel, ReadsMetadataAndTheFirstInputsAndOutputsShapes) {
  MemoryBytes bytes(tone_like_model());
  Result<OnnxModelSummary> model = read_onnx_model(bytes);
  ASSERT_TRUE(model) << model.error().chain();
  EXPECT_EQ(model->metadata.at("vocab_size"), "55");  // the last value of a repeated key
  EXPECT_EQ(model->metadata.at("url"), "x");
  ASSERT_TRUE(model->first_output_dims);
  EXPECT_EQ(*model->first_output_dims,
            (std::vector<std::optional<std::int64_t>>{std::nullopt, 1, 1, 60}));
  ASSERT_TRUE(model->first_input_dims);
  EXPECT_EQ(*model->first_input_dims,
            (std::vector<std::optional<std::int64_t>>{std::nullopt, 80, std::nullopt}));
}

TEST(ReadOnnxModel, NamesTheFilesOfExternalInitializersOnce) {
  MemoryBytes bytes(IR_VERSION +
                    graph(initializer("a.weights", true) + initializer("", false) +
                          initializer("b.weights", true) + initializer("a.weights", true)));
  auto model = read_onnx_model(bytes);
  ASSERT_TRUE(model) << model.error().chain();
  EXPECT_EQ(model->external_data_files, (std::vector<std::string>{"a.weights", "b.weights"}));
  // A location without the external data location is not read from.
  MemoryBytes not_external(
      IR_VERSION +
      graph(bytes_field(5, bytes_field(13, bytes_field(1, "location") + bytes_field(2, "x")))));
  EXPECT_TRUE(read_onnx_model(not_external)->external_data_files.empty());
}

TEST(ReadOnnxModel, AnOutputWithoutShapeHasNoDims) {
  MemoryBytes no_shape(IR_VERSION + graph(output("logit", "", false)));
  auto model = read_onnx_model(no_shape);
  ASSERT_TRUE(model);
  EXPECT_FALSE(model->first_output_dims);
  MemoryBytes scalar(IR_VERSION + graph(output("logit", "")));
  EXPECT_FALSE(read_onnx_model(scalar)->first_output_dims);
  MemoryBytes no_output(IR_VERSION + graph(node("Add")));
  EXPECT_FALSE(read_onnx_model(no_output)->first_output_dims);
}

TEST(ReadOnnxModel, RefusesWhatIsNotAModel) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "no IR version"},
      {"this is a text file, not a model\n", "not an ONNX model"},
      {graph(""), "no IR version"},
      {IR_VERSION + metadata("a", "b"), "no graph"},
      // A known field number with another wire type is an unknown field.
      {bytes_field(1, "8") + graph(""), "no IR version"},
      {IR_VERSION + varint_field(7, 1), "no graph"},
      {tone_like_model() + "\x01", "not an ONNX model"},
      {IR_VERSION + graph(bytes_field(12, "\xFF")), "not an ONNX model"},
  };
  for (const auto& [bytes, message] : cases) {
    MemoryBytes source(bytes);
    auto model = read_onnx_model(source);
    ASSERT_FALSE(model) << message;
    EXPECT_EQ(model.error().message(), message);
  }
}

TEST(ReadOnnxModel, ReadsFilesLargerThanItsReadWindow) {
  // Big skipped payloads before and after the fields read, across read-window boundaries: an
  // initializer's raw data among them.
  const std::string big(200000, 'w');
  const std::string bytes = IR_VERSION + bytes_field(5, big) + metadata("vocab_size", "54") +
                            graph(bytes_field(5, bytes_field(9, big)) + output("logit", dim(55))) +
                            bytes_field(20, big);
  const auto path = std::filesystem::temp_directory_path() / "tw-onnx-model-test.onnx";
  std::ofstream(path, std::ios::binary) << bytes;
  Result<OnnxModelSummary> model = fail("not opened");
  if (std::optional<FileBytes> file = FileBytes::open(path)) model = read_onnx_model(*file);
  std::error_code ignored;
  std::filesystem::remove(path, ignored);  // once closed: Windows keeps open files
  ASSERT_TRUE(model) << model.error().chain();
  EXPECT_EQ(model->metadata.at("vocab_size"), "54");
  EXPECT_EQ(model->first_output_dims->back(), 55);
}

TEST(ReadOnnxModel, ReadsTheGeneratedToneModel) {
  const char* data = std::getenv("TW_TEST_DATA");
  if (data == nullptr) GTEST_SKIP() << "TW_TEST_DATA is not set";
  const auto dir = utf8_path(data) / "models" / "tone";
  auto encoder = FileBytes::open(dir / "encoder.int8.onnx");
  auto joiner = FileBytes::open(dir / "joiner.int8.onnx");
  ASSERT_TRUE(encoder && joiner);
  auto encoder_model = read_onnx_model(*encoder);
  auto joiner_model = read_onnx_model(*joiner);
  ASSERT_TRUE(encoder_model && joiner_model);
  EXPECT_EQ(encoder_model->metadata.at("vocab_size"), "54");
  ASSERT_TRUE(encoder_model->first_input_dims);
  EXPECT_EQ((*encoder_model->first_input_dims)[1], 80);
  ASSERT_TRUE(joiner_model->first_output_dims);
  EXPECT_EQ(joiner_model->first_output_dims->back(), 60);
}

}  // namespace
}  // namespace tw

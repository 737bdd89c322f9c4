#include "test_data.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "core/platform/paths.h"

namespace tw::testing {

std::optional<std::filesystem::path> test_data() {
  const char* data = std::getenv("TW_TEST_DATA");
  if (data == nullptr || *data == '\0') return std::nullopt;
  return utf8_path(data);
}

std::string model_dir(const std::string& name) {
  return path_utf8(test_data().value() / "models" / name);
}

namespace {

std::uint32_t little_endian(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<std::uint8_t>(bytes.at(at + static_cast<std::size_t>(i)));
  }
  return value;
}

}  // namespace

std::vector<float> read_wav_samples(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_EQ(bytes.substr(8, 4), "WAVE");
  std::vector<float> samples;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const std::uint32_t size = little_endian(bytes, at + 4, 4);
    if (id == "fmt ") {
      EXPECT_EQ(little_endian(bytes, at + 8, 2), 1u);   // PCM
      EXPECT_EQ(little_endian(bytes, at + 10, 2), 1u);  // mono
      EXPECT_EQ(little_endian(bytes, at + 12, 4), 16000u);
      EXPECT_EQ(little_endian(bytes, at + 22, 2), 16u);
    } else if (id == "data") {
      for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto value = static_cast<std::int16_t>(little_endian(bytes, at + 8 + i, 2));
        samples.push_back(static_cast<float>(value) * (1.0f / 32768.0f));
      }
    }
    at += 8 + size + (size & 1);
  }
  return samples;
}

nlohmann::json read_expected(const std::string& medium) {
  std::ifstream file(test_data().value() / "media" / (medium + ".json"));
  return nlohmann::json::parse(file);
}

}  // namespace tw::testing

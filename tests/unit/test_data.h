#pragma once
// The generated models and media (TW_TEST_DATA), for tests that use the real speech library.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tw::testing {

// The directory named by TW_TEST_DATA, if set.
std::optional<std::filesystem::path> test_data();

// A generated model directory as UTF-8 text.
std::string model_dir(const std::string& name);

// A 16-bit mono WAV file's samples as the worker hands them on: each value times 2^-15.
std::vector<float> read_wav_samples(const std::filesystem::path& path);

// The expected result that comes with a generated medium (NAME.json beside NAME.wav).
nlohmann::json read_expected(const std::string& medium);

}  // namespace tw::testing

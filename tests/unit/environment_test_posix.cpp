#include "core/platform/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tw {
namespace {

constexpr const char* NAME = "TW_ENVIRONMENT_TEST";

TEST(EnvironmentVariable, SetEmptyUnsetAndNotUnicode) {
  setenv(NAME, "C:\\Windows \xD0\x81", 1);
  EXPECT_EQ(environment_variable(NAME), "C:\\Windows \xD0\x81");
  setenv(NAME, "", 1);
  EXPECT_EQ(environment_variable(NAME), "");
  setenv(NAME, "C:\\Win\xFF", 1);  // not UTF-8: as if it were not set
  EXPECT_EQ(environment_variable(NAME), std::nullopt);
  unsetenv(NAME);
  EXPECT_EQ(environment_variable(NAME), std::nullopt);
}

}  // namespace
}  // namespace tw

// What the worker takes from Windows itself rather than from its host: the error mode set at
// start-up, and Windows' own folders.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/platform/fail_fast.h"
#include "core/platform/paths.h"
#include "core/platform/system_info.h"
#include "core/tools/taskkill_command.h"

namespace tw {
namespace {

TEST(ProcessGuards, TurnOffCrashAndCriticalErrorDialogs) {
  install_process_guards();
  const UINT wanted = SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX;
  EXPECT_EQ(GetErrorMode() & wanted, wanted);
}

TEST(SystemInfo, WindowsFoldersComeFromTheSystemNotFromSystemRoot) {
  wchar_t saved[MAX_PATH] = {};
  const DWORD saved_length = GetEnvironmentVariableW(L"SystemRoot", saved, MAX_PATH);
  for (const wchar_t* value : {L"", L"Q:\\nowhere"}) {
    SetEnvironmentVariableW(L"SystemRoot", value);
    const std::optional<std::string> windows = windows_directory();
    const std::optional<std::string> system = system_directory();
    ASSERT_TRUE(windows && system);
    EXPECT_TRUE(system->starts_with(*windows + "\\")) << *windows << " " << *system;
    EXPECT_TRUE(is_existing_file(utf8_path(taskkill_path(*system)))) << taskkill_path(*system);
  }
  SetEnvironmentVariableW(L"SystemRoot", saved_length > 0 ? saved : nullptr);
}

}  // namespace
}  // namespace tw

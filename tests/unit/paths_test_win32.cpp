#include "core/platform/paths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tw {
namespace {

namespace fs = std::filesystem;

std::string resolved(std::string_view path) {
  Result<std::string> absolute = absolute_path(path);
  EXPECT_TRUE(absolute) << absolute.error().chain();
  return absolute ? *absolute : "";
}

TEST(AbsolutePath, EveryFullyQualifiedFormIsLeftAsItIs) {
  for (const char* path :
       {"\\\\?\\C:\\data\\a.wav", "\\\\server\\share\\a.wav", "\\\\.\\C:\\data\\a.wav",
        "\\\\?\\UNC\\server\\share\\a.wav", "//server/share/a.wav", "\\\\?\\C:\\data\\..\\a.wav",
        "C:\\data\\a.wav", "C:/data/a.wav", "C:\\data\\..\\a.wav", ""}) {
    EXPECT_EQ(resolved(path), path);
  }
}

TEST(AbsolutePath, RelativeFormsResolveAsTheSystemResolvesThem) {
  const fs::path current = fs::current_path();
  const std::string drive = path_utf8(current.root_name());  // "Z:" under wine
  ASSERT_EQ(drive.size(), 2u) << path_utf8(current);
  EXPECT_EQ(resolved("a.wav"), path_utf8(current / "a.wav"));
  EXPECT_EQ(resolved("sub/../a.wav"), path_utf8(current / "a.wav"));
  EXPECT_EQ(resolved("\\data\\a.wav"), drive + "\\data\\a.wav");
  EXPECT_EQ(resolved(drive + "a.wav"), path_utf8(current / "a.wav"));
  // Another drive's current directory is the environment's "=Q:", its root when unset.
  ASSERT_TRUE(SetEnvironmentVariableW(L"=Q:", nullptr) || GetLastError() == ERROR_ENVVAR_NOT_FOUND);
  EXPECT_EQ(resolved("Q:a.wav"), "Q:\\a.wav");
  ASSERT_TRUE(SetEnvironmentVariableW(L"=Q:", L"Q:\\media dir"));
  EXPECT_EQ(resolved("Q:a.wav"), "Q:\\media dir\\a.wav");
  SetEnvironmentVariableW(L"=Q:", nullptr);
}

TEST(LongPathForm, OnlyPathsTooLongForWindowsGetThePrefix) {
  const std::string name(120, 'n');  // two of them make a path too long
  EXPECT_EQ(long_path_form("C:\\data\\a.wav"), "C:\\data\\a.wav");
  EXPECT_EQ(long_path_form("data\\a.wav"), "data\\a.wav");
  EXPECT_EQ(long_path_form("C:\\" + name + "\\" + name + "\\a.wav"),
            "\\\\?\\C:\\" + name + "\\" + name + "\\a.wav");
  // Resolved first: the prefix turns off the system's own handling of "/" and "..".
  EXPECT_EQ(long_path_form("C:/" + name + "/x/../" + name + "/a.wav"),
            "\\\\?\\C:\\" + name + "\\" + name + "\\a.wav");
  EXPECT_EQ(long_path_form("C:/" + name + "/../" + name + "/../a.wav"), "\\\\?\\C:\\a.wav");
  EXPECT_EQ(long_path_form("\\\\server\\share\\" + name + "\\" + name),
            "\\\\?\\UNC\\server\\share\\" + name + "\\" + name);
  const std::string relative = name + "\\" + name;
  EXPECT_EQ(long_path_form(relative),
            "\\\\?\\" + path_utf8(fs::current_path() / utf8_path(relative)));
  // Device paths, long or short, are never rewritten: "\\.\" ones are the system's own
  // namespace (pipes, volumes), and a "\\?\" one is taken as written, ".." included.
  for (const std::string& prefixed :
       {"\\\\?\\C:\\" + name + "\\" + name, "\\\\.\\C:\\" + name + "\\" + name,
        "\\\\?\\UNC\\server\\share\\" + name + "\\" + name,
        "\\\\.\\UNC\\server\\share\\" + name + "\\" + name, "\\\\?\\C:\\" + name + "\\..\\" + name,
        "//./C:/" + name + "/" + name,
        "\\\\.\\GLOBALROOT\\Device\\HarddiskVolume1\\" + name + "\\" + name,
        std::string("\\\\.\\pipe\\media"), std::string("\\\\?\\C:\\a.wav"),
        std::string("\\\\.\\C:\\a.wav")}) {
    EXPECT_EQ(long_path_form(prefixed), prefixed);
  }
}

}  // namespace
}  // namespace tw

#include "runtime/runtime_steps.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

TEST(RuntimeSteps, DesktopRuntimeFirstThenBaseForEachArchitecture) {
  struct Row {
    bool x64;
    size_t order;
    const wchar_t* frameworkKey;
    const wchar_t* installerPath;
  };
  const Row rows[] = {
      {true, 0,
       L"SOFTWARE\\WOW6432Node\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx\\Microsoft.WindowsDesktop.App",
       L"/dotnet/desktop?arch=amd64"},
      {true, 1, L"SOFTWARE\\WOW6432Node\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx\\Microsoft.NETCore.App",
       L"/dotnet?arch=amd64"},
      {false, 0, L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x86\\sharedfx\\Microsoft.WindowsDesktop.App",
       L"/dotnet/desktop?arch=x86"},
      {false, 1, L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x86\\sharedfx\\Microsoft.NETCore.App",
       L"/dotnet?arch=x86"},
  };
  for (const Row& row : rows) {
    const RuntimeStep step = runtimeSteps(row.x64)[row.order];
    EXPECT_STREQ(step.frameworkKey, row.frameworkKey) << "x64 " << row.x64 << " step " << row.order;
    EXPECT_STREQ(step.installerPath, row.installerPath) << "x64 " << row.x64 << " step " << row.order;
  }
}

TEST(InstallerAddress, BasePlusPathAndQuery) {
  struct Case {
    const wchar_t* base;
    const wchar_t* path;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"https://download.tenvik.com", L"/dotnet/desktop?arch=amd64",
       L"https://download.tenvik.com/dotnet/desktop?arch=amd64"},
      {L"https://download.tenvik.com", L"/dotnet?arch=x86", L"https://download.tenvik.com/dotnet?arch=x86"},
      {L"http://127.0.0.1:18380", L"/dotnet?arch=amd64", L"http://127.0.0.1:18380/dotnet?arch=amd64"},
      {L"http://127.0.0.1:18380/", L"/dotnet?arch=x86", L"http://127.0.0.1:18380/dotnet?arch=x86"},
      {L"http://host//", L"/dotnet", L"http://host//dotnet"},  // only one slash is dropped
      {L"", L"/dotnet?arch=x86", L"/dotnet?arch=x86"},
      {L"http://host/", L"", L"http://host/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(installerAddress(c.base, c.path), c.expected) << "base: " << c.base << " path: " << c.path;
  }
}

TEST(InstallerSwitches, QuietWhenSilentPassiveOtherwise) {
  EXPECT_EQ(installerSwitches(true), L"/quiet /norestart");
  EXPECT_EQ(installerSwitches(false), L"/passive /norestart");
}

}  // namespace
}  // namespace tenvik

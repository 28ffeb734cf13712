#include "runtime/runtime_steps.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

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

}  // namespace
}  // namespace tenvik

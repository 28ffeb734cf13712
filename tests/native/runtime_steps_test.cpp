#include "runtime/runtime_steps.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "runtime/runtime_platform.h"

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

std::vector<std::wstring> probeKeys(const RuleStep& step) {
  std::vector<std::wstring> keys;
  for (const wchar_t* key : step.probeKeys) {
    if (key) keys.push_back(key);
  }
  return keys;
}

TEST(RuleSteps, FollowTheRulesFrameworksInOrder) {
  using runtime::kBaseFrameworkX64;
  using runtime::kBaseFrameworkX86;
  using runtime::kDesktopFrameworkX64;
  using runtime::kDesktopFrameworkX86;
  struct Step {
    std::vector<std::wstring> probeKeys;
    RuntimeFramework installs;
    std::wstring installerPath;
  };
  struct Case {
    const char* rule;
    bool x64;
    std::vector<Step> steps;
  };
  const auto desktop = RuntimeFramework::desktop;
  const auto base = RuntimeFramework::base;
  const Case cases[] = {
      {"desktop+base:6", true,
       {{{kDesktopFrameworkX64}, desktop, L"/dotnet/desktop?arch=amd64"},
        {{kBaseFrameworkX64}, base, L"/dotnet?arch=amd64"}}},
      {"desktop+base:6", false,
       {{{kDesktopFrameworkX86}, desktop, L"/dotnet/desktop?arch=x86"},
        {{kBaseFrameworkX86}, base, L"/dotnet?arch=x86"}}},
      {"desktop+base:10", true,
       {{{kDesktopFrameworkX64}, desktop, L"/dotnet/desktop?arch=amd64&version=10"},
        {{kBaseFrameworkX64}, base, L"/dotnet?arch=amd64&version=10"}}},
      {"desktop:10", true, {{{kDesktopFrameworkX64}, desktop, L"/dotnet/desktop?arch=amd64&version=10"}}},
      {"desktop:10.0.2", false, {{{kDesktopFrameworkX86}, desktop, L"/dotnet/desktop?arch=x86&version=10"}}},
      {"desktop:6", true, {{{kDesktopFrameworkX64}, desktop, L"/dotnet/desktop?arch=amd64"}}},
      {"base:10", true,
       {{{kBaseFrameworkX64, kDesktopFrameworkX64}, base, L"/dotnet?arch=amd64&version=10"}}},
      {"base:8", false, {{{kBaseFrameworkX86, kDesktopFrameworkX86}, base, L"/dotnet?arch=x86&version=8"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rule) + (c.x64 ? " x64" : " x86"));
    const std::optional<RuntimeRule> rule = parseRuntimeRule(c.rule);
    ASSERT_TRUE(rule);
    const RuleSteps steps = ruleSteps(*rule, c.x64);
    ASSERT_EQ(steps.count, c.steps.size());
    for (std::size_t i = 0; i < steps.count; ++i) {
      const RuleStep& step = steps.steps[i];
      EXPECT_EQ(probeKeys(step), c.steps[i].probeKeys) << "step " << i;
      EXPECT_EQ(step.installs, c.steps[i].installs) << "step " << i;
      EXPECT_EQ(installerPathFor(step.installs, c.x64, rule->major), c.steps[i].installerPath) << "step " << i;
    }
  }
}

TEST(RuleSteps, TheStandardRuleKeepsTheLiteralSteps) {
  for (const bool x64 : {true, false}) {
    const RuleSteps steps = ruleSteps(RuntimeRule::standard(), x64);
    const auto literals = runtimeSteps(x64);
    ASSERT_EQ(steps.count, literals.size());
    for (std::size_t i = 0; i < steps.count; ++i) {
      EXPECT_EQ(probeKeys(steps.steps[i]), std::vector<std::wstring>{literals[i].frameworkKey});
      EXPECT_EQ(installerPathFor(steps.steps[i].installs, x64, 6), literals[i].installerPath);
    }
  }
}

TEST(InstallerAddress, TheVendorsPermanentAddressForEveryFrameworkArchitectureAndMajor) {
  struct Case {
    RuntimeFramework framework;
    bool x64;
    unsigned long major;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {RuntimeFramework::desktop, true, 6, L"https://aka.ms/dotnet/6.0/windowsdesktop-runtime-win-x64.exe"},
      {RuntimeFramework::desktop, false, 6, L"https://aka.ms/dotnet/6.0/windowsdesktop-runtime-win-x86.exe"},
      {RuntimeFramework::base, true, 6, L"https://aka.ms/dotnet/6.0/dotnet-runtime-win-x64.exe"},
      {RuntimeFramework::base, false, 6, L"https://aka.ms/dotnet/6.0/dotnet-runtime-win-x86.exe"},
      {RuntimeFramework::desktop, true, 10, L"https://aka.ms/dotnet/10.0/windowsdesktop-runtime-win-x64.exe"},
      {RuntimeFramework::base, false, 10, L"https://aka.ms/dotnet/10.0/dotnet-runtime-win-x86.exe"},
      {RuntimeFramework::base, true, 999, L"https://aka.ms/dotnet/999.0/dotnet-runtime-win-x64.exe"},
  };
  const DownloadSource vendor{true, L""};
  for (const Case& c : cases) {
    EXPECT_EQ(installerAddressFor(vendor, c.framework, c.x64, c.major), c.expected);
  }
  // A base of the release's own keeps the historical addresses.
  const DownloadSource own{false, L"https://download.tenvik.com"};
  EXPECT_EQ(installerAddressFor(own, RuntimeFramework::desktop, true, 6), L"https://download.tenvik.com/dotnet/desktop?arch=amd64");
  EXPECT_EQ(installerAddressFor(own, RuntimeFramework::base, false, 10), L"https://download.tenvik.com/dotnet?arch=x86&version=10");
}

TEST(ManualDownloadPage, NamesTheMajorsPage) {
  EXPECT_EQ(manualDownloadPage(6), runtime::kManualDownloadPage);
  EXPECT_EQ(manualDownloadPage(10), L"https://dotnet.microsoft.com/download/dotnet/10.0");
  EXPECT_EQ(manualDownloadPage(8), L"https://dotnet.microsoft.com/download/dotnet/8.0");
}

}  // namespace
}  // namespace tenvik

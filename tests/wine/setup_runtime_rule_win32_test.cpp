// Images that ask for another runtime than .NET 6, on 32-bit Windows: the
// x86 framework keys and the x86 addresses with the rule's major.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/runtime_platform.h"
#include "support/http_fixture.h"
#include "support/launch_fixture.h"
#include "support/runtime_registry.h"
#include "support/setup_image.h"

namespace tenvik::test {
namespace {

const wchar_t* const kInstallerVariables[] = {
    L"TENVIK_FAKE_INSTALLER_REGISTER", L"TENVIK_FAKE_INSTALLER_LOCATION", L"TENVIK_FAKE_INSTALLER_VERSION"};

class Win32RuntimeRule : public LaunchTest {
 protected:
  void SetUp() override {
    BOOL wow64 = TRUE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    ASSERT_FALSE(wow64) << "this test needs a 32-bit Windows prefix";
    LaunchTest::SetUp();
    if (!httpServerAvailable()) GTEST_SKIP() << "no loopback download server in this build";
    resetHttpServer();
    clearRuntimeRegistrations();
  }
  void TearDown() override {
    for (const wchar_t* name : kInstallerVariables) SetEnvironmentVariableW(name, nullptr);
    LaunchTest::TearDown();
  }
  void serveInstaller(const std::string& target) {
    RouteSpec route;
    route.body = readFileBytes(buildPath(L"standins\\fake_runtime_installer.exe"));
    ASSERT_FALSE(route.body.empty());
    setRoute(target, route);
  }
  static std::vector<std::string> requests() {
    std::vector<std::string> targets;
    for (const auto& request : loggedRequests()) targets.push_back(request.target);
    return targets;
  }
};

TEST_F(Win32RuntimeRule, TheDesktop10InstallerForX86IsAskedForAndRun) {
  const std::string target = "/dotnet/desktop?arch=x86&version=10";
  serveInstaller(target);
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER", runtime::kDesktopFrameworkX86);
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_VERSION", L"10.0.3");
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_LOCATION", (hostDirectory_ + L"\\").c_str());
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "app"}}, L"standins\\SetupNet10.exe");
  EXPECT_EQ(runSetup(exe, L"--silent", 12).exitCode, 12u);
  EXPECT_EQ(requests(), std::vector<std::string>{target});
}

TEST_F(Win32RuntimeRule, ABaseRuleAsksForTheX86BaseInstallerOnce) {
  serveInstaller("/dotnet?arch=x86&version=10");
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER", L"none");
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "app"}});
  changeImageSettings(exe, [](ImageSettings& settings) { settings.runtime = *parseRuntimeRule("base:10"); });
  EXPECT_EQ(runSetup(exe, L"--silent").exitCode, 1u);
  EXPECT_EQ(requests(), std::vector<std::string>{"/dotnet?arch=x86&version=10"});
  EXPECT_FALSE(hostReport().present);
}

}  // namespace
}  // namespace tenvik::test

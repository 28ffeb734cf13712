// Setup.exe on 32-bit Windows, where there is no WOW64: the x86 registry
// layout, the x86 installers and the one Program Files folder.

#include <windows.h>
#include <knownfolders.h>

#include <gtest/gtest.h>

#include "support/http_fixture.h"
#include "support/launch_fixture.h"
#include "support/runtime_registry.h"
#include "support/setup_image.h"

namespace tenvik::test {
namespace {

class Win32Launch : public LaunchTest {
 protected:
  void SetUp() override {
    BOOL wow64 = TRUE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    ASSERT_FALSE(wow64) << "this test needs a 32-bit Windows prefix";
    LaunchTest::SetUp();
    clearRuntimeRegistrations();
    exe_ = setupWithPackage(scratch_, {{"App.dll", "app"}});
  }
  std::wstring exe_;
};

TEST_F(Win32Launch, ReadsTheX86Layout) {
  registerFramework(RuntimeArch::X86, L"Microsoft.NETCore.App", L"6.0.36");
  setInstallLocation(RuntimeArch::X86, hostDirectory_);  // no trailing backslash this time
  // An x64 registration means nothing on 32-bit Windows.
  registerFramework(RuntimeArch::X64, L"Microsoft.WindowsDesktop.App", L"6.0.36");
  if (httpServerAvailable()) resetHttpServer();
  const RunResult run = runSetup(exe_, L"--silent", 77);
  EXPECT_EQ(run.exitCode, 77u);
  EXPECT_EQ(hostReport().parameters, narrow(workDirectory()) + "\\App.dll --silent");
  if (httpServerAvailable()) {
    // The Windows Desktop runtime is missing: its x86 installer was tried.
    std::vector<std::string> targets;
    for (const auto& request : loggedRequests()) targets.push_back(request.target);
    EXPECT_EQ(targets, std::vector<std::string>{"/dotnet/desktop?arch=x86"});
  }
}

TEST_F(Win32Launch, FindsTheHostInProgramFilesWithoutALocation) {
  registerFramework(RuntimeArch::X86, L"Microsoft.WindowsDesktop.App", L"6.0.2");
  const std::wstring defaultDirectory = knownFolder(FOLDERID_ProgramFiles) + L"\\dotnet";
  installFakeHost(defaultDirectory);
  const RunResult run = runSetup(exe_, L"", 5);
  deleteTree(defaultDirectory);
  EXPECT_EQ(run.exitCode, 5u);
}

TEST_F(Win32Launch, TriesTheX86InstallersWhenNothingIsInstalled) {
  if (!httpServerAvailable()) GTEST_SKIP() << "no loopback download server in this build";
  resetHttpServer();
  EXPECT_EQ(runSetup(exe_, L"--silent").exitCode, 1u);
  std::vector<std::string> targets;
  for (const auto& request : loggedRequests()) targets.push_back(request.target);
  EXPECT_EQ(targets, (std::vector<std::string>{"/dotnet/desktop?arch=x86", "/dotnet?arch=x86"}));
  EXPECT_FALSE(directoryExists(productDirectory()));
}

}  // namespace
}  // namespace tenvik::test

// End-to-end runs of images that ask for another runtime than .NET 6: built
// with TENVIK_RUNTIME and TENVIK_RUNTIME_INSTALLERS (standins\SetupNet10*.exe),
// or a copy of Setup.exe whose settings resource a test rewrites. The probe
// follows the image's rule, the addresses carry its major, and a bundled
// installer is used without any request.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/runtime_platform.h"
#include "standin_reports.h"
#include "support/http_fixture.h"
#include "support/launch_fixture.h"
#include "support/runtime_registry.h"
#include "support/setup_image.h"

namespace tenvik::test {
namespace {

const wchar_t* const kInstallerVariables[] = {
    L"TENVIK_FAKE_INSTALLER_REPORT", L"TENVIK_FAKE_INSTALLER_REGISTER", L"TENVIK_FAKE_INSTALLER_LOCATION",
    L"TENVIK_FAKE_INSTALLER_EXIT",   L"TENVIK_FAKE_INSTALLER_VERSION",
};

constexpr unsigned kSettingsId = 103;
constexpr unsigned kBundledDesktopX64Id = 201;
constexpr DWORD kHostNotStarted = 0xFFFFFFFF;

const std::string kDesktop10X64 = "/dotnet/desktop?arch=amd64&version=10";
const std::string kBase10X64 = "/dotnet?arch=amd64&version=10";

class SetupRuntimeRule : public LaunchTest {
 protected:
  void SetUp() override {
    LaunchTest::SetUp();
    if (!httpServerAvailable()) GTEST_SKIP() << "no loopback download server in this build";
    resetHttpServer();
    clearRuntimeRegistrations();
    installerReport_ = scratch_ + L"\\installer-report.txt";
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REPORT", installerReport_.c_str());
    installerFile_ = installerFile();
    tempInstaller_ = tempPath() + L"DotNET-Setup.exe";
    DeleteFileW(tempInstaller_.c_str());
  }
  void TearDown() override {
    for (const wchar_t* name : kInstallerVariables) SetEnvironmentVariableW(name, nullptr);
    DeleteFileW(tempInstaller_.c_str());
    LaunchTest::TearDown();
  }

  // A copy of the named build of the program, with a small package.
  std::wstring image(const std::wstring& original) {
    return setupWithPackage(scratch_, {{"App.dll", "app"}}, original);
  }
  // A copy of Setup.exe whose settings resource holds settings, after the
  // line that names the loopback server as its download base: a key the
  // resource lacks takes the program's own default.
  std::wstring imageWithSettings(const std::string& settings) {
    const std::wstring exe = image(L"Setup.exe");
    setDataResource(exe, kSettingsId, "download=" + narrow(downloadBaseUrl()) + "\n" + settings);
    return exe;
  }

  void serveInstaller(const std::string& target) {
    RouteSpec route;
    route.body = readFileBytes(buildPath(L"standins\\fake_runtime_installer.exe"));
    ASSERT_FALSE(route.body.empty());
    setRoute(target, route);
  }
  // What the installer registers when it runs, under which version name.
  void installerRegisters(const std::wstring& frameworkKey, const std::wstring& version = L"10.0.3") {
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER", frameworkKey.c_str());
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_VERSION", version.c_str());
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_LOCATION", (hostDirectory_ + L"\\").c_str());
  }

  static std::vector<std::string> requests() {
    std::vector<std::string> targets;
    for (const auto& request : loggedRequests()) targets.push_back(request.target);
    return targets;
  }
  std::vector<StandinRun> installerRuns() const { return readStandinRuns(installerReport_); }

  std::wstring installerReport_;
  std::wstring installerFile_;
  std::wstring tempInstaller_;  // where the installer went once: never written now
};

TEST_F(SetupRuntimeRule, APresentRuntime10RunsTheHostWithoutARequest) {
  registerFramework(RuntimeArch::X64, L"Microsoft.WindowsDesktop.App", L"10.0.3");
  setInstallLocation(RuntimeArch::X64, hostDirectory_);
  EXPECT_EQ(runSetup(image(L"standins\\SetupNet10.exe"), L"", 7).exitCode, 7u);
  EXPECT_TRUE(hostReport().present);
  EXPECT_TRUE(loggedRequests().empty());
  EXPECT_FALSE(fileExists(installerFile_));
}

TEST_F(SetupRuntimeRule, WithOnlyDesktop6AndBase10TheDesktop10InstallerRuns) {
  registerFramework(RuntimeArch::X64, L"Microsoft.WindowsDesktop.App", L"6.0.25");
  registerFramework(RuntimeArch::X64, L"Microsoft.NETCore.App", L"10.0.3");
  setInstallLocation(RuntimeArch::X64, hostDirectory_);
  serveInstaller(kDesktop10X64);
  installerRegisters(runtime::kDesktopFrameworkX64);
  EXPECT_EQ(runSetup(image(L"standins\\SetupNet10.exe"), L"--silent", 23).exitCode, 23u);
  EXPECT_EQ(requests(), std::vector<std::string>{kDesktop10X64});
  const auto runs = installerRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs.front().at("command"), installerFile_ + L" /quiet /norestart");
  EXPECT_FALSE(fileExists(installerFile_));
  EXPECT_EQ(hostReport().parameters, narrow(workDirectory()) + "\\App.dll --silent");
}

TEST_F(SetupRuntimeRule, AFailedDesktopInstallationEndsWithOneAndNoHost) {
  // The base runtime 10 alone does not run a Desktop application.
  registerFramework(RuntimeArch::X64, L"Microsoft.WindowsDesktop.App", L"6.0.25");
  registerFramework(RuntimeArch::X64, L"Microsoft.NETCore.App", L"10.0.3");
  setInstallLocation(RuntimeArch::X64, hostDirectory_);
  serveInstaller(kDesktop10X64);
  serveInstaller(kBase10X64);
  installerRegisters(L"none");
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_EXIT", L"1603");
  EXPECT_EQ(runSetup(image(L"standins\\SetupNet10.exe"), L"--silent").exitCode, 1u);
  EXPECT_EQ(requests(), std::vector<std::string>{kDesktop10X64});
  EXPECT_EQ(installerRuns().size(), 1u);
  EXPECT_FALSE(hostReport().present);
  EXPECT_FALSE(directoryExists(productDirectory()));
  EXPECT_FALSE(fileExists(installerFile_));
}

TEST_F(SetupRuntimeRule, ABundledInstallerIsUsedWithoutAnyRequest) {
  // No route is served: a download would fail, and it would show in the log.
  installerRegisters(runtime::kDesktopFrameworkX64);
  EXPECT_EQ(runSetup(image(L"standins\\SetupNet10Bundled.exe"), L"", 4).exitCode, 4u);
  EXPECT_TRUE(loggedRequests().empty());
  const auto runs = installerRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs.front().at("command"), installerFile_ + L" /passive /norestart");
  EXPECT_EQ(comparablePath(runs.front().at("directory")), comparablePath(installerDirectory()));
  EXPECT_EQ(comparablePath(runs.front().at("module")), comparablePath(installerFile_));
  EXPECT_FALSE(fileExists(tempInstaller_));
  EXPECT_FALSE(fileExists(installerFile_));
  EXPECT_TRUE(hostReport().present);
}

TEST_F(SetupRuntimeRule, ABundledInstallerIsCheckedAsADownloadIs) {
  const std::pair<const char*, const wchar_t*> installers[] = {
      {"unsigned", L"standins\\fake_runtime_installer-unsigned.exe"},
      {"signed by another publisher", L"standins\\fake_runtime_installer-wrong-signer.exe"},
  };
  installerRegisters(runtime::kDesktopFrameworkX64);
  for (const auto& [what, file] : installers) {
    SCOPED_TRACE(what);
    const std::wstring exe = image(L"standins\\SetupNet10.exe");
    setDataResource(exe, kBundledDesktopX64Id, readFileBytes(buildPath(file)));
    EXPECT_EQ(runSetup(exe, L"--silent").exitCode, 1u);
    EXPECT_TRUE(installerRuns().empty());
    EXPECT_TRUE(loggedRequests().empty());
    EXPECT_FALSE(fileExists(installerFile_));
    EXPECT_FALSE(hostReport().present);
  }
}

TEST_F(SetupRuntimeRule, MalformedSettingsEndTheRunBeforeAnythingIsTouched) {
  const char* const settings[] = {
      "runtime=desktop:ten\n",
      "runtime=desktop:10\nruntime=base:10\n",
      "runtime=aspnet:10\n",
      "progress-window=maybe\n",
      "colour=blue\n",
      "runtime desktop:10\n",
      "download=ftp://example.com\n",
      "product=CON\n",
      "installer-wait=0\n",
  };
  serveInstaller("/dotnet/desktop?arch=amd64");
  installerRegisters(runtime::kDesktopFrameworkX64, L"6.0.36");
  for (const char* text : settings) {
    SCOPED_TRACE(text);
    EXPECT_EQ(runSetup(imageWithSettings(text), L"--silent").exitCode, kHostNotStarted);
    EXPECT_TRUE(loggedRequests().empty());
    EXPECT_TRUE(installerRuns().empty());
    EXPECT_FALSE(directoryExists(productDirectory()));
    EXPECT_FALSE(hostReport().present);
  }
}

// Rules written into the settings resource, on a machine with the runtimes
// given: whether the host runs, and which installers were asked for. Every
// installer served fails.
TEST_F(SetupRuntimeRule, TheProbeAndTheAddressesFollowTheRule) {
  struct Registered {
    const wchar_t* framework;
    const wchar_t* version;
  };
  struct Case {
    const char* settings;
    std::vector<Registered> registered;
    bool hostRuns;
    std::vector<std::string> requested;
  };
  const wchar_t* const desktop = L"Microsoft.WindowsDesktop.App";
  const wchar_t* const base = L"Microsoft.NETCore.App";
  const Case cases[] = {
      {"runtime=desktop+base:6\nprogress-window=off\n", {{desktop, L"6.0.1"}}, true, {}},
      {"\n", {{base, L"6.0.36"}}, true, {"/dotnet/desktop?arch=amd64"}},
      {"runtime=base:10\n", {{desktop, L"10.0.3"}}, true, {}},
      {"runtime=base:10\n", {{base, L"10.0.3"}}, true, {}},
      {"runtime=base:10\n", {{base, L"6.0.36"}}, false, {kBase10X64}},
      {"runtime=desktop:10\n", {{base, L"10.0.3"}}, false, {kDesktop10X64}},
      {"runtime=desktop:10.0.9\n", {{desktop, L"10.0.10"}}, true, {}},
      {"runtime=desktop:10.0.9\n", {{desktop, L"10.0.8"}}, false, {kDesktop10X64}},
      {"runtime=desktop+base:10\n", {}, false, {kDesktop10X64, kBase10X64}},
      {"runtime=desktop+base:10\n", {{base, L"10.0.1"}}, true, {kDesktop10X64}},
      {"runtime=desktop:6\n", {{base, L"6.0.36"}}, false, {"/dotnet/desktop?arch=amd64"}},
  };
  installerRegisters(L"none");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    resetHttpServer();
    for (const char* target : {"/dotnet/desktop?arch=amd64", "/dotnet?arch=amd64"}) serveInstaller(target);
    for (const std::string& target : {kDesktop10X64, kBase10X64}) serveInstaller(target);
    clearRuntimeRegistrations();
    for (const Registered& r : c.registered) registerFramework(RuntimeArch::X64, r.framework, r.version);
    setInstallLocation(RuntimeArch::X64, hostDirectory_);
    DeleteFileW(reportPath_.c_str());
    const RunResult run = runSetup(imageWithSettings(c.settings), L"--silent");
    EXPECT_EQ(run.exitCode, c.hostRuns ? 0u : 1u);
    EXPECT_EQ(hostReport().present, c.hostRuns);
    EXPECT_EQ(requests(), c.requested);
  }
}

}  // namespace
}  // namespace tenvik::test

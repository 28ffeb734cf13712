#include "runtime/runtime_install.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "open_handles.h"
#include "runtime/runtime_platform.h"
#include "runtime/runtime_probe.h"
#include "standin_reports.h"
#include "support/http_fixture.h"
#include "support/wine_support.h"

namespace tenvik {
namespace {

void cleanRegistry() {
  test::deleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\dotnet", KEY_WOW64_64KEY);
  test::deleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\dotnet");
}

std::wstring url(const std::wstring& path) { return test::downloadBaseUrl() + path; }

const wchar_t* const kInstallerVariables[] = {
    L"TENVIK_FAKE_INSTALLER_REPORT",      L"TENVIK_FAKE_INSTALLER_REGISTER",
    L"TENVIK_FAKE_INSTALLER_REGISTER_RUN1", L"TENVIK_FAKE_INSTALLER_REGISTER_RUN2",
    L"TENVIK_FAKE_INSTALLER_VERSION",     L"TENVIK_FAKE_INSTALLER_LOCATION",
    L"TENVIK_FAKE_INSTALLER_SLEEP_MS",    L"TENVIK_FAKE_INSTALLER_EXIT",
    L"TENVIK_FAKE_INSTALLER_TRY_OWN_FILE",
};

class RuntimeInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::httpServerAvailable()) GTEST_SKIP() << "no loopback download server in this build";
    test::resetHttpServer();
    cleanRegistry();
    scratch_ = test::makeScratchDirectory(L"install");
    report_ = scratch_ + L"\\installer-report.txt";
    for (const wchar_t* name : kInstallerVariables) SetEnvironmentVariableW(name, nullptr);
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REPORT", report_.c_str());
    installer_ = test::readFileBytes(test::buildPath(L"standins\\fake_runtime_installer.exe"));
    ASSERT_FALSE(installer_.empty());
    temp_ = test::tempPath();
    installerFile_ = temp_ + runtime::kInstallerFileName;
    DeleteFileW(installerFile_.c_str());
  }

  void TearDown() override {
    for (const wchar_t* name : kInstallerVariables) SetEnvironmentVariableW(name, nullptr);
    if (!originalTmp_.empty()) SetEnvironmentVariableW(L"TMP", originalTmp_.c_str());
    cleanRegistry();
    if (!scratch_.empty()) test::deleteTree(scratch_);
    if (!installerFile_.empty()) DeleteFileW(installerFile_.c_str());
  }

  void serveInstallerEverywhere() {
    test::RouteSpec route;
    route.body = installer_;
    for (const char* target : {"/dotnet/desktop?arch=amd64", "/dotnet?arch=amd64", "/dotnet/desktop?arch=x86",
                               "/dotnet?arch=x86"}) {
      test::setRoute(target, route);
    }
  }

  static void installerRegisters(const std::wstring& keys) {
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER", keys.c_str());
  }

  // The temporary directory the product will find, for one test.
  void useTemporaryDirectory(const std::wstring& directory) {
    originalTmp_ = test::environmentVariable(L"TMP");
    SetEnvironmentVariableW(L"TMP", directory.c_str());
    temp_ = test::tempPath();
    installerFile_ = temp_ + runtime::kInstallerFileName;
  }

  static std::vector<std::string> requestedTargets() {
    std::vector<std::string> targets;
    for (const auto& request : test::loggedRequests()) targets.push_back(request.target);
    return targets;
  }

  std::vector<test::StandinRun> installerRuns() const { return test::readStandinRuns(report_); }

  std::string installer_;
  std::wstring scratch_;
  std::wstring report_;
  std::wstring temp_;
  std::wstring installerFile_;
  std::wstring originalTmp_;
};

// Present runtimes, the switches, the fallback from the Windows Desktop to
// the base runtime and a double failure are shown end to end, with the real
// Setup.exe, in setup_runtime_test, launcher_win32_test and launcher_gui_test.

TEST_F(RuntimeInstall, TheRegistryAloneDecidesNotTheExitCode) {
  serveInstallerEverywhere();
  struct Case {
    const wchar_t* exitCode;
    bool registers;
  };
  const Case cases[] = {{L"0", false}, {L"1603", false}, {L"3010", true}, {L"0xE0434352", true}, {L"0", true}};
  for (const Case& c : cases) {
    cleanRegistry();
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_EXIT", c.exitCode);
    installerRegisters(c.registers ? runtime::kBaseFrameworkX86 : L"none");
    EXPECT_EQ(ensureRuntime(runtime::kBaseFrameworkX86, url(L"/dotnet?arch=x86"), true), c.registers)
        << "exit " << test::narrow(c.exitCode);
  }
}

TEST_F(RuntimeInstall, TheInstallerIsWaitedFor) {
  serveInstallerEverywhere();
  installerRegisters(runtime::kDesktopFrameworkX64);
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_SLEEP_MS", L"2000");
  EXPECT_TRUE(ensureRuntimeX64(true));
  EXPECT_EQ(requestedTargets(), std::vector<std::string>{"/dotnet/desktop?arch=amd64"});
}

TEST_F(RuntimeInstall, ADesktopInstallerThatBringsTheBaseRuntimeEndsTheSearch) {
  serveInstallerEverywhere();
  // The second run would register the desktop runtime; it must not happen.
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER_RUN1", runtime::kBaseFrameworkX86);
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER_RUN2", runtime::kDesktopFrameworkX86);
  EXPECT_TRUE(ensureRuntimeX86(false));
  EXPECT_EQ(requestedTargets(), std::vector<std::string>{"/dotnet/desktop?arch=x86"});
  EXPECT_FALSE(isRuntimeInstalled(runtime::kDesktopFrameworkX86));
}

TEST_F(RuntimeInstall, TheBaseInstallerRescuesAFailedDesktopInstallation) {
  serveInstallerEverywhere();
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER_RUN1", L"none");
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER_RUN2", runtime::kBaseFrameworkX64);
  EXPECT_TRUE(ensureRuntimeX64(true));
  EXPECT_EQ(requestedTargets(), (std::vector<std::string>{"/dotnet/desktop?arch=amd64", "/dotnet?arch=amd64"}));
  EXPECT_EQ(installerRuns().size(), 2u);
}

TEST_F(RuntimeInstall, AFailedDownloadStartsNothingAndLeavesNoFile) {
  struct Case {
    const char* what;
    bool served;
    test::RouteSpec answer;
  };
  test::RouteSpec cutOff;
  cutOff.body = installer_.substr(0, 2000);
  cutOff.declaredLength = static_cast<long long>(installer_.size());
  test::RouteSpec errorPage;
  errorPage.status = 500;
  errorPage.body = "<html>Internal Server Error</html>";
  test::RouteSpec emptyBody;
  const Case cases[] = {
      {"404", false, {}},
      {"cut off", true, cutOff},
      {"error page", true, errorPage},
      {"empty body", true, emptyBody},
  };
  if (test::openHandleCount() < 0) GTEST_SKIP() << "the platform does not list handles";
  for (const Case& c : cases) {
    test::resetHttpServer();
    if (c.served) test::setRoute("/dotnet?arch=x86", c.answer);
    test::writeFileBytes(installerFile_, "left over from an interrupted run");
    const long handlesBefore = test::openHandleCount();
    installRuntime(url(L"/dotnet?arch=x86"), L"/quiet /norestart");
    EXPECT_EQ(test::openHandleCount(), handlesBefore) << c.what;
    EXPECT_EQ(requestedTargets(), std::vector<std::string>{"/dotnet?arch=x86"}) << c.what;
    EXPECT_FALSE(test::fileExists(installerFile_)) << c.what;
  }
  EXPECT_TRUE(installerRuns().empty());
}

TEST_F(RuntimeInstall, OnlyAnInstallerSignedByTheRequiredSignerRuns) {
  std::string tampered = installer_;
  tampered[tampered.size() / 2] ^= 0x01;  // inside the program's sections, well before the signature
  struct Case {
    const char* what;
    std::string body;
    bool runs;
  };
  const Case cases[] = {
      {"unsigned", test::readFileBytes(test::buildPath(L"standins\\fake_runtime_installer-unsigned.exe")), false},
      {"tampered after signing", tampered, false},
      {"signed by someone else",
       test::readFileBytes(test::buildPath(L"standins\\fake_runtime_installer-wrong-signer.exe")), false},
      {"signed by the required signer", installer_, true},
  };
  installerRegisters(runtime::kBaseFrameworkX86);
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_TRY_OWN_FILE", L"1");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_GT(c.body.size(), 100000u);
    cleanRegistry();
    test::RouteSpec route;
    route.body = c.body;
    test::setRoute("/dotnet?arch=x86", route);
    const size_t runsBefore = installerRuns().size();
    EXPECT_EQ(ensureRuntime(runtime::kBaseFrameworkX86, url(L"/dotnet?arch=x86"), true), c.runs);
    const std::vector<test::StandinRun> runs = installerRuns();
    ASSERT_EQ(runs.size(), runsBefore + (c.runs ? 1 : 0));
    EXPECT_FALSE(test::fileExists(installerFile_));
    if (c.runs) {
      // Another process, the installer itself, finds its file held.
      EXPECT_EQ(runs.back().at("own_file_write"), L"denied");
      EXPECT_EQ(runs.back().at("own_file_delete"), L"denied");
    }
  }
}

TEST_F(RuntimeInstall, WithoutATemporaryDirectoryNothingIsWrittenOrRun) {
  // Wine's GetTempPathW gives up on a TMP longer than MAX_PATH.
  useTemporaryDirectory(L"C:\\" + std::wstring(300, L't'));
  if (!temp_.empty()) GTEST_SKIP() << "this platform finds a temporary directory anyway";
  serveInstallerEverywhere();
  wchar_t current[MAX_PATH * 2];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH * 2, current), 0u);
  const std::wstring inCurrent = std::wstring(current) + L"\\" + runtime::kInstallerFileName;
  installRuntime(url(L"/dotnet?arch=x86"), L"/quiet /norestart");
  EXPECT_EQ(requestedTargets(), std::vector<std::string>{"/dotnet?arch=x86"});  // the download comes first
  EXPECT_TRUE(installerRuns().empty());
  EXPECT_FALSE(test::fileExists(inCurrent));
  EXPECT_FALSE(test::fileExists(runtime::kInstallerFileName));
}

TEST_F(RuntimeInstall, NoHandleOutlivesAnInstallation) {
  serveInstallerEverywhere();
  installRuntime(url(L"/dotnet?arch=x86"), L"/quiet /norestart");  // loads what stays loaded
  const long before = test::openHandleCount();
  if (before < 0) GTEST_SKIP() << "the platform does not list handles";
  installRuntime(url(L"/dotnet?arch=x86"), L"/quiet /norestart");
  EXPECT_EQ(installerRuns().size(), 2u);
  EXPECT_EQ(test::openHandleCount(), before);
}

}  // namespace
}  // namespace tenvik

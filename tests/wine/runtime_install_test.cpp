#include "runtime/runtime_install.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "open_handles.h"
#include "runtime/runtime_platform.h"
#include "runtime/runtime_probe.h"
#include "standin_reports.h"
#include "system/file_system.h"
#include "system/protected_folder.h"
#include "system/unique_handle.h"
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
    tempInstaller_ = temp_ + runtime::kInstallerFileName;
    DeleteFileW(tempInstaller_.c_str());
    // The product folder as a run prepares and holds it.
    productFolder_ = scratch_ + L"\\Tenvik";
    product_ = prepareProductFolder(productFolder_);
    ASSERT_TRUE(product_.handle);
    installerFolder_ = productFolder_ + L"\\Runtime.tmp";
    installerFile_ = installerFolder_ + L"\\" + runtime::kInstallerFileName;
    // As the test build's own image says, with the loopback server as its base.
    settings_.download.base = test::downloadBaseUrl();
  }

  void TearDown() override {
    for (const wchar_t* name : kInstallerVariables) SetEnvironmentVariableW(name, nullptr);
    if (!originalTmp_.empty()) SetEnvironmentVariableW(L"TMP", originalTmp_.c_str());
    cleanRegistry();
    product_.handle.reset();
    if (!scratch_.empty()) test::deleteTree(scratch_);
    if (!tempInstaller_.empty()) DeleteFileW(tempInstaller_.c_str());
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
    tempInstaller_ = temp_ + runtime::kInstallerFileName;
  }

  static std::vector<std::string> requestedTargets() {
    std::vector<std::string> targets;
    for (const auto& request : test::loggedRequests()) targets.push_back(request.target);
    return targets;
  }

  std::vector<test::StandinRun> installerRuns() const { return test::readStandinRuns(report_); }

  std::string installer_;
  InstallSettings settings_;
  std::wstring scratch_;
  std::wstring report_;
  std::wstring temp_;
  std::wstring tempInstaller_;  // where the installer went once: never written now
  std::wstring productFolder_;
  ProductFolder product_;
  std::wstring installerFolder_;
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
    EXPECT_EQ(ensureRuntime(runtime::kBaseFrameworkX86, url(L"/dotnet?arch=x86"), settings_, true, productFolder_),
              c.registers)
        << "exit " << test::narrow(c.exitCode);
  }
}

TEST_F(RuntimeInstall, TheInstallerIsWaitedFor) {
  serveInstallerEverywhere();
  installerRegisters(runtime::kDesktopFrameworkX64);
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_SLEEP_MS", L"2000");
  EXPECT_TRUE(ensureRuntimeX64(settings_, true, productFolder_));
  EXPECT_EQ(requestedTargets(), std::vector<std::string>{"/dotnet/desktop?arch=amd64"});
}

TEST_F(RuntimeInstall, ADesktopInstallerThatBringsTheBaseRuntimeEndsTheSearch) {
  serveInstallerEverywhere();
  // The second run would register the desktop runtime; it must not happen.
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER_RUN1", runtime::kBaseFrameworkX86);
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER_RUN2", runtime::kDesktopFrameworkX86);
  EXPECT_TRUE(ensureRuntimeX86(settings_, false, productFolder_));
  EXPECT_EQ(requestedTargets(), std::vector<std::string>{"/dotnet/desktop?arch=x86"});
  EXPECT_FALSE(isRuntimeInstalled(runtime::kDesktopFrameworkX86));
}

TEST_F(RuntimeInstall, TheBaseInstallerRescuesAFailedDesktopInstallation) {
  serveInstallerEverywhere();
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER_RUN1", L"none");
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER_RUN2", runtime::kBaseFrameworkX64);
  EXPECT_TRUE(ensureRuntimeX64(settings_, true, productFolder_));
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
    createDirectories(installerFolder_);
    test::writeFileBytes(installerFile_, "left over from an interrupted run");
    const long handlesBefore = test::openHandleCount();
    installRuntime(url(L"/dotnet?arch=x86"), L"/quiet /norestart", settings_, productFolder_);
    EXPECT_EQ(test::openHandleCount(), handlesBefore) << c.what;
    EXPECT_EQ(requestedTargets(), std::vector<std::string>{"/dotnet?arch=x86"}) << c.what;
    EXPECT_FALSE(test::fileExists(installerFile_)) << c.what;
    EXPECT_FALSE(test::directoryExists(installerFolder_)) << c.what;
    EXPECT_FALSE(test::fileExists(tempInstaller_)) << c.what;
  }
  EXPECT_TRUE(installerRuns().empty());
}

TEST_F(RuntimeInstall, OnlyAnInstallerSignedByTheRequiredSignerRuns) {
  std::string tampered = installer_;
  tampered[tampered.size() / 2] ^= 0x01;  // inside the program's sections, well before the signature
  const std::string unsigned_ = test::readFileBytes(test::buildPath(L"standins\\fake_runtime_installer-unsigned.exe"));
  const std::wstring required = settings_.installerSigner;
  struct Case {
    const char* what;
    std::string body;
    std::wstring signer;  // the settings' installer signer
    bool runs;
  };
  const Case cases[] = {
      {"unsigned", unsigned_, required, false},
      {"tampered after signing", tampered, required, false},
      {"signed by someone else",
       test::readFileBytes(test::buildPath(L"standins\\fake_runtime_installer-wrong-signer.exe")), required, false},
      {"signed by the required signer", installer_, required, true},
      {"signed, but the settings require another signer", installer_, L"Contoso Ltd", false},
      {"unsigned, with the check turned off in the settings", unsigned_, L"", true},
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
    settings_.installerSigner = c.signer;
    EXPECT_EQ(ensureRuntime(runtime::kBaseFrameworkX86, url(L"/dotnet?arch=x86"), settings_, true, productFolder_),
              c.runs);
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

TEST_F(RuntimeInstall, WithoutAProductFolderNothingIsWrittenOrRun) {
  serveInstallerEverywhere();
  wchar_t current[MAX_PATH * 2];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH * 2, current), 0u);
  const std::wstring inCurrent = std::wstring(current) + L"\\" + runtime::kInstallerFileName;
  for (const std::wstring& folder : {std::wstring(), scratch_ + L"\\missing\\Tenvik"}) {
    SCOPED_TRACE(test::narrow(folder));
    test::resetHttpServer();
    serveInstallerEverywhere();
    installRuntime(url(L"/dotnet?arch=x86"), L"/quiet /norestart", settings_, folder);
    EXPECT_EQ(requestedTargets(), std::vector<std::string>{"/dotnet?arch=x86"});  // the download comes first
    EXPECT_TRUE(installerRuns().empty());
    EXPECT_FALSE(test::fileExists(inCurrent));
    EXPECT_FALSE(test::fileExists(runtime::kInstallerFileName));
    EXPECT_FALSE(test::directoryExists(scratch_ + L"\\missing"));
  }
}

TEST_F(RuntimeInstall, TheInstallerRunsFromItsOwnFolderInTheProductFolder) {
  serveInstallerEverywhere();
  // The user's temporary directory plays no part: not even one it cannot use.
  useTemporaryDirectory(L"C:\\" + std::wstring(300, L't'));
  installerRegisters(runtime::kBaseFrameworkX86);
  EXPECT_TRUE(ensureRuntime(runtime::kBaseFrameworkX86, url(L"/dotnet?arch=x86"), settings_, true, productFolder_));
  const std::vector<test::StandinRun> runs = installerRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(test::comparablePath(runs[0].at("module")), test::comparablePath(installerFile_));
  EXPECT_EQ(test::comparablePath(runs[0].at("directory")), test::comparablePath(installerFolder_));
  EXPECT_EQ(runs[0].at("command"), installerFile_ + L" /quiet /norestart");
  EXPECT_FALSE(test::directoryExists(installerFolder_));
  EXPECT_TRUE(test::directoryExists(productFolder_));
}

// The file that runs is the one this call wrote: never one that stood at the
// name before, held open or not, and never one in the user's temporary
// directory, where the user's unelevated programs may write.
TEST_F(RuntimeInstall, APlantedOrHeldInstallerIsNeverTheOneRun) {
  serveInstallerEverywhere();
  installerRegisters(runtime::kBaseFrameworkX86);
  const std::string planted = test::readFileBytes(test::buildPath(L"standins\\fake_runtime_installer-wrong-signer.exe"));
  ASSERT_FALSE(planted.empty());
  struct Case {
    const char* what;
    bool inTemp;      // else left in the installer's folder, as by an interrupted run
    bool heldOpen;    // by its planter, reading without sharing deletion
    bool installs;
  };
  const Case cases[] = {
      {"in the temporary directory", true, false, true},
      {"held open in the temporary directory", true, true, true},
      {"left in the installer's folder", false, false, true},
      // It cannot be removed, so the folder cannot be made anew: nothing runs.
      {"held open in the installer's folder", false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    cleanRegistry();
    const std::wstring plantedPath = c.inTemp ? tempInstaller_ : installerFile_;
    if (!c.inTemp) {
      ASSERT_TRUE(createDirectories(installerFolder_));
    }
    test::writeFileBytes(plantedPath, planted);
    UniqueFileHandle planter;
    if (c.heldOpen) {
      planter.reset(CreateFileW(plantedPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(planter);
    }
    const size_t runsBefore = installerRuns().size();
    EXPECT_EQ(ensureRuntime(runtime::kBaseFrameworkX86, url(L"/dotnet?arch=x86"), settings_, true, productFolder_),
              c.installs);
    const std::vector<test::StandinRun> runs = installerRuns();
    ASSERT_EQ(runs.size(), runsBefore + (c.installs ? 1 : 0));
    if (c.installs) {
      EXPECT_EQ(test::comparablePath(runs.back().at("module")), test::comparablePath(installerFile_));
      EXPECT_EQ(test::comparablePath(runs.back().at("directory")), test::comparablePath(installerFolder_));
    }
    planter.reset();
    // A planted file elsewhere is left as it is; one left in the folder goes
    // with the folder, unless it was held.
    if (c.inTemp || c.heldOpen) {
      EXPECT_EQ(test::readFileBytes(plantedPath), planted);
    } else {
      EXPECT_FALSE(test::fileExists(plantedPath));
    }
    DeleteFileW(plantedPath.c_str());
    removeDirectory(installerFolder_);
  }
}

TEST_F(RuntimeInstall, NoHandleOutlivesAnInstallation) {
  serveInstallerEverywhere();
  installRuntime(url(L"/dotnet?arch=x86"), L"/quiet /norestart", settings_, productFolder_);  // loads what stays loaded
  const long before = test::openHandleCount();
  if (before < 0) GTEST_SKIP() << "the platform does not list handles";
  installRuntime(url(L"/dotnet?arch=x86"), L"/quiet /norestart", settings_, productFolder_);
  EXPECT_EQ(installerRuns().size(), 2u);
  EXPECT_EQ(test::openHandleCount(), before);
}

}  // namespace
}  // namespace tenvik

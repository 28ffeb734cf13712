// Runs of the real Setup.exe that meet each other: a second run of one
// product, two products that both miss the runtime, and a runtime installer
// that meets another installation (1618). The second product is the same
// program stamped with the product word TenvikOther, a run wait of 3 s and a
// pause of 100 ms before a busy installer runs again.

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "runtime/runtime_platform.h"
#include "standin_reports.h"
#include "support/concurrent_run.h"
#include "support/http_fixture.h"
#include "support/launch_fixture.h"
#include "support/runtime_registry.h"
#include "support/setup_image.h"
#include "system/machine_mutex_name.h"

namespace tenvik::test {
namespace {

const wchar_t* const kVariables[] = {
    L"TENVIK_HOST_WAIT_FOR",           L"TENVIK_FAKE_INSTALLER_REPORT",      L"TENVIK_FAKE_INSTALLER_REGISTER",
    L"TENVIK_FAKE_INSTALLER_LOCATION", L"TENVIK_FAKE_INSTALLER_EXIT",        L"TENVIK_FAKE_INSTALLER_WAIT_FOR",
    L"TENVIK_FAKE_INSTALLER_EXIT_RUN1", L"TENVIK_FAKE_INSTALLER_REGISTER_RUN2",
};

const std::string kDesktopX64 = "/dotnet/desktop?arch=amd64";
const std::string kBaseX64 = "/dotnet?arch=amd64";

// Relative name -> "size|crc32" of every file below root, as the stand-in
// host reports the files it found.
std::map<std::string, std::string> filesIn(const std::wstring& root) {
  std::map<std::string, std::string> files;
  for (const std::wstring& name : listFilesRecursive(root)) {
    files[narrow(name)] = fileSignature(readFileBytes(root + L"\\" + name));
  }
  return files;
}

// The stand-in host writes its report in one piece; a reader that comes
// early may find the file still empty.
HostReport waitForHostReport(const std::wstring& path) {
  for (int waited = 0; waited < 60000; waited += 50) {
    const HostReport report = readHostReport(path);
    if (report.present && !report.directory.empty()) return report;
    Sleep(50);
  }
  return readHostReport(path);
}

bool mutexExists(const std::wstring& name) {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

class SetupConcurrency : public LaunchTest {
 protected:
  void SetUp() override {
    LaunchTest::SetUp();
    gate_ = scratch_ + L"\\gate";
    deleteTree(otherProductDirectory());
    const std::vector<PackageEntry> entries = {
        {"App.dll", "app"}, {"data/settings.json", "{}"}, {"data/big.bin", std::string(300000, 'b')}};
    CreateDirectoryW((scratch_ + L"\\one").c_str(), nullptr);
    CreateDirectoryW((scratch_ + L"\\other").c_str(), nullptr);
    exe_ = setupWithPackage(scratch_ + L"\\one", entries);
    otherExe_ = setupWithPackage(scratch_ + L"\\other", entries);
    changeImageSettings(otherExe_, [](ImageSettings& settings) {
      settings.product = L"TenvikOther";
      settings.runWaitSeconds = 3;
      settings.install.installerBusyPauseMs = 100;
    });
  }
  void TearDown() override {
    releaseGate(gate_);  // a stand-in still waiting ends
    for (const wchar_t* name : kVariables) SetEnvironmentVariableW(name, nullptr);
    deleteTree(otherProductDirectory());
    for (const std::wstring& copy : movedAsideCopies(otherProductDirectory())) deleteTree(copy);
    LaunchTest::TearDown();
  }

  // What the host of the run started next does: write its report to
  // reportPath, end with exitCode, and first wait for the gate when told.
  void nextHost(const std::wstring& reportPath, int exitCode, bool waitForGate) {
    SetEnvironmentVariableW(L"TENVIK_HOST_REPORT", reportPath.c_str());
    SetEnvironmentVariableW(L"TENVIK_HOST_EXIT", std::to_wstring(exitCode).c_str());
    SetEnvironmentVariableW(L"TENVIK_HOST_WAIT_FOR", waitForGate ? gate_.c_str() : nullptr);
  }

  static std::wstring otherProductDirectory() { return programDataPath() + L"\\TenvikOther"; }
  static std::wstring otherWorkDirectory() { return otherProductDirectory() + L"\\Setup.tmp"; }

  std::wstring gate_;
  std::wstring exe_;
  std::wstring otherExe_;
};

TEST_F(SetupConcurrency, ASecondRunWaitsForTheFirstAndThenRunsItsOwnHost) {
  const std::wstring firstReport = scratch_ + L"\\first.txt";
  const std::wstring secondReport = scratch_ + L"\\second.txt";
  nextHost(firstReport, 11, true);
  StartedRun first(exe_, L"--silent");
  ASSERT_TRUE(first.started());
  const HostReport firstHost = waitForHostReport(firstReport);
  ASSERT_TRUE(firstHost.present);
  ASSERT_EQ(firstHost.files.count("data\\big.bin"), 1u);

  nextHost(secondReport, 22, false);
  StartedRun second(exe_, L"--silent");
  ASSERT_TRUE(second.started());
  // A second run that did not wait would empty the work directory and start
  // its host at once; the first one's files stay as its host found them.
  EXPECT_TRUE(second.stillRunningAfter(2000));
  EXPECT_FALSE(fileExists(secondReport));
  EXPECT_EQ(filesIn(workDirectory()), firstHost.files);

  releaseGate(gate_);
  EXPECT_EQ(first.finish().exitCode, 11u);
  const RunResult secondRun = second.finish();
  EXPECT_FALSE(secondRun.timedOut);
  EXPECT_EQ(secondRun.exitCode, 22u);
  const HostReport secondHost = readHostReport(secondReport);
  EXPECT_TRUE(secondHost.present);
  EXPECT_EQ(comparablePath(widen(secondHost.directory)), comparablePath(workDirectory()));
  EXPECT_EQ(secondHost.files, firstHost.files);
  EXPECT_FALSE(directoryExists(workDirectory()));
}

TEST_F(SetupConcurrency, PastTheWaitBoundASecondRunEndsWithMinusOneHavingTouchedNothing) {
  const std::wstring firstReport = scratch_ + L"\\first.txt";
  const std::wstring secondReport = scratch_ + L"\\second.txt";
  nextHost(firstReport, 11, true);
  StartedRun first(otherExe_, L"--silent");
  const HostReport firstHost = waitForHostReport(firstReport);
  ASSERT_TRUE(firstHost.present);

  nextHost(secondReport, 22, false);
  const RunResult secondRun = StartedRun(otherExe_, L"--silent").finish(60000);
  EXPECT_FALSE(secondRun.timedOut);
  EXPECT_EQ(secondRun.exitCode, 0xFFFFFFFFu) << std::hex << secondRun.exitCode;
  EXPECT_FALSE(fileExists(secondReport));
  EXPECT_EQ(filesIn(otherWorkDirectory()), firstHost.files);

  releaseGate(gate_);
  EXPECT_EQ(first.finish().exitCode, 11u);
  EXPECT_FALSE(directoryExists(otherWorkDirectory()));
}

TEST_F(SetupConcurrency, TwoProductsRunSideBySide) {
  const std::wstring firstReport = scratch_ + L"\\first.txt";
  const std::wstring secondReport = scratch_ + L"\\second.txt";
  nextHost(firstReport, 11, true);
  StartedRun first(exe_, L"--silent");
  ASSERT_TRUE(waitForHostReport(firstReport).present);
  nextHost(secondReport, 22, false);
  EXPECT_EQ(StartedRun(otherExe_, L"--silent").finish().exitCode, 22u);
  EXPECT_TRUE(readHostReport(secondReport).present);
  releaseGate(gate_);
  EXPECT_EQ(first.finish().exitCode, 11u);
}

TEST_F(SetupConcurrency, ALockLeftAbandonedIsTakenOver) {
  // Under Wine the lock is the Global\ fallback; a thread that ends while it
  // owns a mutex leaves it abandoned, as a killed run would.
  HANDLE abandoned = nullptr;
  std::thread([&abandoned] {
    abandoned = CreateMutexW(nullptr, TRUE, globalMutexName(runMutexName(L"Tenvik")).c_str());
  }).join();
  ASSERT_NE(abandoned, nullptr);
  const RunResult run = runSetup(exe_, L"--silent", 7);
  CloseHandle(abandoned);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 7u);
  EXPECT_TRUE(hostReport().present);
}

// Machines without the runtime, served the stand-in installer.
class SetupConcurrencyRuntime : public SetupConcurrency {
 protected:
  void SetUp() override {
    SetupConcurrency::SetUp();
    if (!httpServerAvailable()) GTEST_SKIP() << "no loopback download server in this build";
    resetHttpServer();
    clearRuntimeRegistrations();
    installerReport_ = scratch_ + L"\\installer-report.txt";
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REPORT", installerReport_.c_str());
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_LOCATION", (hostDirectory_ + L"\\").c_str());
    RouteSpec route;
    route.body = readFileBytes(buildPath(L"standins\\fake_runtime_installer.exe"));
    ASSERT_FALSE(route.body.empty());
    setRoute(kDesktopX64, route);
    setRoute(kBaseX64, route);
  }
  // Neither product left an installer behind, nor put one where it once went.
  bool noInstallerLeft() const {
    return !fileExists(installerFile()) && !fileExists(otherProductDirectory() + L"\\Runtime.tmp\\DotNET-Setup.exe") &&
           !fileExists(tempPath() + L"DotNET-Setup.exe");
  }

  static std::vector<std::string> requests() {
    std::vector<std::string> targets;
    for (const auto& request : loggedRequests()) targets.push_back(request.target);
    return targets;
  }
  size_t installerRuns() const { return readStandinRuns(installerReport_).size(); }

  std::wstring installerReport_;
};

TEST_F(SetupConcurrencyRuntime, TwoProductsMissingTheRuntimeInstallItOnce) {
  const std::wstring installerGate = scratch_ + L"\\installer-gate";
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER", runtime::kDesktopFrameworkX64);
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_WAIT_FOR", installerGate.c_str());
  const std::wstring firstReport = scratch_ + L"\\first.txt";
  const std::wstring secondReport = scratch_ + L"\\second.txt";

  nextHost(firstReport, 5, false);
  StartedRun first(otherExe_, L"--silent");
  // Its download arrived: it holds the runtime lock, and its installer
  // waits for the gate before it registers anything.
  for (int waited = 0; waited < 60000 && loggedRequests().empty(); waited += 50) Sleep(50);
  ASSERT_EQ(requests(), std::vector<std::string>{kDesktopX64});

  nextHost(secondReport, 6, false);
  StartedRun second(exe_, L"--silent");
  // Once it owns its own run lock, the next thing it waits for is the
  // runtime lock, which the first product holds until its installer ends.
  const std::wstring secondRunLock = globalMutexName(runMutexName(L"Tenvik"));
  for (int waited = 0; waited < 60000 && !mutexExists(secondRunLock); waited += 50) Sleep(50);
  ASSERT_TRUE(mutexExists(secondRunLock));

  releaseGate(installerGate);
  EXPECT_EQ(first.finish().exitCode, 5u);
  EXPECT_EQ(second.finish().exitCode, 6u);
  EXPECT_EQ(requests(), std::vector<std::string>{kDesktopX64});
  EXPECT_EQ(installerRuns(), 1u);
  EXPECT_TRUE(readHostReport(firstReport).present);
  EXPECT_TRUE(readHostReport(secondReport).present);
  EXPECT_TRUE(noInstallerLeft());
}

TEST_F(SetupConcurrencyRuntime, AnInstallerThatMeetsAnotherInstallationRunsAgain) {
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER", L"none");
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_EXIT_RUN1", L"1618");
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER_RUN2", runtime::kDesktopFrameworkX64);
  const std::wstring report = scratch_ + L"\\host.txt";
  nextHost(report, 9, false);
  EXPECT_EQ(StartedRun(otherExe_, L"--silent").finish().exitCode, 9u);
  EXPECT_EQ(requests(), std::vector<std::string>{kDesktopX64});
  EXPECT_EQ(installerRuns(), 2u);
  EXPECT_TRUE(readHostReport(report).present);
  EXPECT_TRUE(noInstallerLeft());
}

TEST_F(SetupConcurrencyRuntime, AnInstallationThatStaysBusyIsTriedTenTimesMoreThenTheProbeDecides) {
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER", L"none");
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_EXIT", L"1618");
  const std::wstring report = scratch_ + L"\\host.txt";
  nextHost(report, 9, false);
  EXPECT_EQ(StartedRun(otherExe_, L"--silent").finish().exitCode, 1u);
  // Each of the two installers: its first run and ten more.
  EXPECT_EQ(requests(), (std::vector<std::string>{kDesktopX64, kBaseX64}));
  EXPECT_EQ(installerRuns(), 22u);
  EXPECT_FALSE(readHostReport(report).present);
  EXPECT_TRUE(noInstallerLeft());
}

TEST_F(SetupConcurrencyRuntime, ARestartCodeIsNotRetriedAndTheProbeDecides) {
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER", runtime::kDesktopFrameworkX64);
  for (const wchar_t* code : {L"3010", L"1641"}) {
    SCOPED_TRACE(narrow(code));
    resetHttpServer();
    RouteSpec route;
    route.body = readFileBytes(buildPath(L"standins\\fake_runtime_installer.exe"));
    setRoute(kDesktopX64, route);
    clearRuntimeRegistrations();
    DeleteFileW(installerReport_.c_str());
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_EXIT", code);
    const std::wstring report = scratch_ + L"\\host.txt";
    nextHost(report, 9, false);
    EXPECT_EQ(StartedRun(otherExe_, L"--silent").finish().exitCode, 9u);
    EXPECT_EQ(installerRuns(), 1u);
  }
}

}  // namespace
}  // namespace tenvik::test

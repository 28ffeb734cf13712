// End-to-end runs of the real Setup.exe on machines without the runtime: the
// installer is downloaded from the loopback server (or through the user's
// proxy), run, probed for, and the run goes on or ends with 1.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
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
    L"TENVIK_FAKE_INSTALLER_EXIT",   L"TENVIK_FAKE_INSTALLER_WAIT_FOR", L"WINEDLLOVERRIDES",
};

// Set for Setup.exe as the user's environment could set them; none may reach
// an elevated child.
const std::pair<const wchar_t*, const wchar_t*> kPlantedVariables[] = {
    {L"DOTNET_STARTUP_HOOKS", L"C:\\planted\\Hook.dll"},
    {L"CORECLR_ENABLE_PROFILING", L"1"},
    {L"CORECLR_PROFILER_PATH", L"C:\\planted\\Profiler.dll"},
    {L"COR_PROFILER", L"{00000000-0000-0000-0000-000000000001}"},
};

class SetupRuntime : public LaunchTest {
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
    exe_ = setupWithPackage(scratch_, {{"App.dll", "app"}});
  }
  void TearDown() override {
    for (const wchar_t* name : kInstallerVariables) SetEnvironmentVariableW(name, nullptr);
    for (const auto& [name, value] : kPlantedVariables) SetEnvironmentVariableW(name, nullptr);
    restoreUserProxySettings();
    DeleteFileW(tempInstaller_.c_str());
    LaunchTest::TearDown();
  }

  void serveInstaller(const std::string& target) {
    RouteSpec route;
    route.body = readFileBytes(buildPath(L"standins\\fake_runtime_installer.exe"));
    ASSERT_FALSE(route.body.empty());
    setRoute(target, route);
  }
  // What the installer does when it runs: register these framework keys (and
  // the stand-in host's location), or nothing.
  void installerRegisters(const std::wstring& frameworkKey) {
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER", frameworkKey.c_str());
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_LOCATION", (hostDirectory_ + L"\\").c_str());
  }

  static std::vector<std::string> requests(const char* via = nullptr) {
    std::vector<std::string> targets;
    for (const auto& request : loggedRequests()) {
      if (!via || request.via == via) targets.push_back(request.target);
    }
    return targets;
  }
  std::vector<StandinRun> installerRuns() const { return readStandinRuns(installerReport_); }

  std::wstring installerReport_;
  std::wstring installerFile_;
  std::wstring tempInstaller_;  // where the installer went once: never written now
  std::wstring exe_;
};

const std::string kDesktopX64 = "/dotnet/desktop?arch=amd64";
const std::string kBaseX64 = "/dotnet?arch=amd64";

TEST_F(SetupRuntime, APresentRuntimeIsNotDownloaded) {
  registerFramework(RuntimeArch::X64, L"Microsoft.WindowsDesktop.App", L"6.0.1");
  setInstallLocation(RuntimeArch::X64, hostDirectory_);
  EXPECT_EQ(runSetup(exe_, L"").exitCode, 0u);
  EXPECT_TRUE(hostReport().present);
  EXPECT_TRUE(loggedRequests().empty());
  EXPECT_FALSE(fileExists(installerFile_));
}

TEST_F(SetupRuntime, AnInstalledRuntimeLetsTheRunGoOn) {
  serveInstaller(kDesktopX64);
  installerRegisters(runtime::kDesktopFrameworkX64);
  const RunResult run = runSetup(exe_, L"--silent", 23);
  EXPECT_EQ(run.exitCode, 23u);
  EXPECT_EQ(requests(), std::vector<std::string>{kDesktopX64});
  const auto runs = installerRuns();
  ASSERT_EQ(runs.size(), 1u);
  const StandinRun& installer = runs.front();
  EXPECT_EQ(installer.at("command"), installerFile_ + L" /quiet /norestart");
  EXPECT_EQ(comparablePath(installer.at("directory")), comparablePath(installerDirectory()));
  EXPECT_EQ(comparablePath(installer.at("module")), comparablePath(installerFile_));
  EXPECT_FALSE(directoryExists(installerDirectory()));
  EXPECT_FALSE(fileExists(tempInstaller_));
  EXPECT_FALSE(fileExists(installerFile_));
  EXPECT_EQ(hostReport().parameters, narrow(workDirectory()) + "\\App.dll --silent");
}

TEST_F(SetupRuntime, TheChildrenGetNoRuntimeVariablesAndTheRunsOwnTemporaryFolder) {
  serveInstaller(kDesktopX64);
  installerRegisters(runtime::kDesktopFrameworkX64);
  for (const auto& [name, value] : kPlantedVariables) SetEnvironmentVariableW(name, value);
  EXPECT_EQ(runSetup(exe_, L"--silent").exitCode, 0u);
  const std::wstring runTemp = comparablePath(productDirectory() + L"\\Temp.tmp");
  const auto runs = installerRuns();
  ASSERT_EQ(runs.size(), 1u);
  const HostReport host = hostReport();
  ASSERT_TRUE(host.present);
  for (const auto& [name, value] : kPlantedVariables) {
    EXPECT_EQ(runs.front().count("env." + narrow(name)), 0u) << narrow(name);
    EXPECT_EQ(host.environment.count(narrow(name)), 0u) << narrow(name);
  }
  for (const char* name : {"TEMP", "TMP"}) {
    EXPECT_EQ(comparablePath(runs.front().at(std::string("env.") + name)), runTemp) << name;
    EXPECT_EQ(comparablePath(widen(host.environment.at(name))), runTemp) << name;
  }
  EXPECT_FALSE(directoryExists(productDirectory() + L"\\Temp.tmp"));
}

TEST_F(SetupRuntime, OutsideSilentModeTheInstallerShowsItsProgress) {
  serveInstaller(kDesktopX64);
  installerRegisters(runtime::kDesktopFrameworkX64);
  EXPECT_EQ(runSetup(exe_, L"").exitCode, 0u);
  const auto runs = installerRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs.front().at("command"), installerFile_ + L" /passive /norestart");
}

TEST_F(SetupRuntime, WithOnlyTheBaseRuntimeTheDesktopInstallerRunsOnce) {
  registerFramework(RuntimeArch::X64, L"Microsoft.NETCore.App", L"6.0.36");
  setInstallLocation(RuntimeArch::X64, hostDirectory_);
  serveInstaller(kDesktopX64);
  serveInstaller(kBaseX64);
  installerRegisters(L"none");
  EXPECT_EQ(runSetup(exe_, L"--silent").exitCode, 0u);
  EXPECT_EQ(requests(), std::vector<std::string>{kDesktopX64});
  EXPECT_EQ(installerRuns().size(), 1u);
  EXPECT_TRUE(hostReport().present);
}

TEST_F(SetupRuntime, WhenBothInstallationsFailTheRunEndsWithOne) {
  serveInstaller(kDesktopX64);
  serveInstaller(kBaseX64);
  installerRegisters(L"none");
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_EXIT", L"1603");
  EXPECT_EQ(runSetup(exe_, L"--silent").exitCode, 1u);
  EXPECT_EQ(requests(), (std::vector<std::string>{kDesktopX64, kBaseX64}));
  EXPECT_EQ(installerRuns().size(), 2u);
  EXPECT_FALSE(hostReport().present);
  EXPECT_FALSE(directoryExists(productDirectory()));
  EXPECT_FALSE(fileExists(installerFile_));
}

TEST_F(SetupRuntime, AFailedDownloadStartsNothing) {
  RouteSpec shortBody;
  shortBody.body = readFileBytes(buildPath(L"standins\\fake_runtime_installer.exe")).substr(0, 5000);
  shortBody.declaredLength = 100000;
  setRoute(kDesktopX64, shortBody);  // cut short; the base installer is a 404
  installerRegisters(runtime::kDesktopFrameworkX64);
  EXPECT_EQ(runSetup(exe_, L"--silent").exitCode, 1u);
  EXPECT_EQ(requests(), (std::vector<std::string>{kDesktopX64, kBaseX64}));
  EXPECT_TRUE(installerRuns().empty());
  EXPECT_FALSE(fileExists(installerFile_));
}

// A write of the installer that fails part way: Setup.exe runs under a Unix
// file-size limit of 32 KB, which makes Wine's WriteFile come back short as a
// full disk would. The installer is not run and nothing of it stays; the run
// ends as for a failed installation. (The signature check would refuse the
// cut file too, so this cannot tell which of the two stopped it.) Wine
// cannot wait for a Linux program,
// so the shell leaves Setup.exe's exit code in a file.
TEST_F(SetupRuntime, AnInstallerThatCannotBeWrittenWholeIsNeverRun) {
  serveInstaller(kDesktopX64);
  serveInstaller(kBaseX64);
  installerRegisters(runtime::kDesktopFrameworkX64);
  SetEnvironmentVariableW(L"TENVIK_HOST_REPORT", (scratch_ + L"\\host-report.txt").c_str());
  const std::wstring exitFile = scratch_ + L"\\exit-code.txt";
  const std::string script = "trap '' XFSZ; ulimit -f 64; /usr/bin/wine '" + unixPathOf(exe_) + "' --silent; echo $? >'" +
                             unixPathOf(exitFile) + ".part'; mv '" + unixPathOf(exitFile) + ".part' '" +
                             unixPathOf(exitFile) + "'";
  ASSERT_TRUE(runProgram(L"Z:\\bin\\sh", L"-c \"" + widen(script) + L"\"").started);
  for (int waited = 0; waited < 120000 && !fileExists(exitFile); waited += 100) Sleep(100);
  ASSERT_TRUE(fileExists(exitFile)) << "Setup.exe did not end";
  EXPECT_EQ(readFileBytes(exitFile), "1\n");
  EXPECT_EQ(requests(), (std::vector<std::string>{kDesktopX64, kBaseX64}));
  EXPECT_TRUE(installerRuns().empty());
  EXPECT_FALSE(directoryExists(installerDirectory()));
  EXPECT_FALSE(fileExists(tempInstaller_));
  EXPECT_FALSE(hostReport().present);
}

TEST_F(SetupRuntime, TheDownloadGoesThroughTheUsersProxy) {
  UserProxySettings proxy;
  proxy.proxy = narrow(proxyAddress());
  setUserProxySettings(proxy);
  serveInstaller(kDesktopX64);
  installerRegisters(runtime::kDesktopFrameworkX64);
  EXPECT_EQ(runSetup(exe_, L"--silent").exitCode, 0u);
  EXPECT_EQ(requests("proxy").size(), 1u);
  EXPECT_EQ(installerRuns().size(), 1u);
}

TEST_F(SetupRuntime, AScriptWithoutAutoDetectionIsNotUsed) {
  UserProxySettings script;
  script.scriptUrl = narrow(downloadBaseUrl()) + "/proxy.pac";
  setUserProxySettings(script);
  serveInstaller(kDesktopX64);
  installerRegisters(runtime::kDesktopFrameworkX64);
  EXPECT_EQ(runSetup(exe_, L"--silent").exitCode, 0u);
  EXPECT_EQ(requests(), std::vector<std::string>{kDesktopX64});  // no script fetched, nothing via the proxy
  EXPECT_TRUE(requests("proxy").empty());
}

// The same program stamped with https://localhost:TLS_PORT as its download
// base, and a short download limit so that a stalled server costs little.
class SetupRuntimeOverTls : public SetupRuntime {
 protected:
  void SetUp() override {
    SetupRuntime::SetUp();
    if (IsSkipped()) return;
    changeImageSettings(exe_, [](ImageSettings& settings) {
      settings.install.download = {false, tlsBaseUrl()};
      settings.install.downloadLimitSeconds = 15;
    });
  }
  // Directly the target arrives as it is; through the proxy's tunnel, as the
  // whole address.
  static bool tlsRequested(const std::string& target) {
    const std::string whole = narrow(tlsBaseUrl()) + target;
    for (const auto& request : loggedRequests()) {
      if (request.via == "tls" && (request.target == target || request.target == whole)) return true;
    }
    return false;
  }
};

TEST_F(SetupRuntimeOverTls, TheInstallerComesOverTlsDirectlyAndThroughTheProxy) {
  trustTestCertificateAuthority();
  serveInstaller(kDesktopX64);
  installerRegisters(runtime::kDesktopFrameworkX64);
  EXPECT_EQ(runSetup(exe_, L"--silent", 5).exitCode, 5u);
  EXPECT_TRUE(tlsRequested(kDesktopX64));
  EXPECT_EQ(installerRuns().size(), 1u);
  EXPECT_TRUE(hostReport().present);

  clearRuntimeRegistrations();
  resetHttpServer();
  serveInstaller(kDesktopX64);
  UserProxySettings proxy;
  proxy.proxy = narrow(proxyAddress());  // no bypass list: "<local>" would pass localhost by
  setUserProxySettings(proxy);
  EXPECT_EQ(runSetup(exe_, L"--silent", 6).exitCode, 6u);
  EXPECT_EQ(requests("proxy"), std::vector<std::string>{tlsAuthority()});  // one CONNECT
  EXPECT_TRUE(tlsRequested(kDesktopX64));
  EXPECT_EQ(installerRuns().size(), 2u);
  EXPECT_FALSE(fileExists(installerFile_));
}

TEST_F(SetupRuntimeOverTls, ARefusedOrStalledServerEndsTheRunAsForAFailedDownload) {
  trustTestCertificateAuthority();
  const std::pair<const char*, TlsServer> servers[] = {
      {"issued by a CA nobody trusts", TlsServer::untrusted},
      {"expired", TlsServer::expired},
      {"for another host name", TlsServer::wrongName},
      {"never answers the handshake: the download limit ends it", TlsServer::silent},
  };
  installerRegisters(runtime::kDesktopFrameworkX64);
  for (const auto& [what, server] : servers) {
    SCOPED_TRACE(what);
    resetHttpServer();
    serveInstaller(kDesktopX64);
    serveInstaller(kBaseX64);
    setTlsServerMode(server);
    const RunResult run = runSetup(exe_, L"--silent");
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(loggedRequests().empty()) << "a request went over a channel that should have been refused";
    EXPECT_TRUE(installerRuns().empty());
    EXPECT_FALSE(fileExists(installerFile_));
    EXPECT_FALSE(hostReport().present);
  }
}

TEST_F(SetupRuntimeOverTls, ARedirectFromHttpsToPlainHttpIsRefused) {
  trustTestCertificateAuthority();
  RouteSpec down;
  down.redirect = narrow(downloadBaseUrl()) + "/plain/installer.exe";
  setRoute(kDesktopX64, down);
  setRoute(kBaseX64, down);
  serveInstaller("/plain/installer.exe");
  installerRegisters(runtime::kDesktopFrameworkX64);
  const RunResult run = runSetup(exe_, L"--silent");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_TRUE(tlsRequested(kDesktopX64));
  EXPECT_TRUE(tlsRequested(kBaseX64));
  // WinHTTP itself refuses to follow (the policy the download sets): the
  // plain address is never even asked for.
  EXPECT_TRUE(requests("server").empty());
  EXPECT_TRUE(installerRuns().empty());
  EXPECT_FALSE(fileExists(installerFile_));
}

// stamped\Vendor.exe is the built stub stamped by tenvik-pack with
// --download vendor. The user's proxy (on loopback) tunnels the vendor's host
// to the trusted TLS server, which answers that name with a certificate the
// test prefix alone trusts; the vendor's address redirects to the file.
TEST_F(SetupRuntime, TheVendorSourceAsksTheVendorsAddressAndFollowsItsRedirect) {
  const std::wstring dir = scratch_ + L"\\vendor";
  ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
  exe_ = setupWithPackage(dir, {{"App.dll", "app"}}, L"stamped\\Vendor.exe");
  trustTestCertificateAuthority();
  const std::string address = "/dotnet/6.0/windowsdesktop-runtime-win-x64.exe";
  const std::string file = "/files/windowsdesktop-runtime-6.0.36-win-x64.exe";
  RouteSpec redirect;
  redirect.redirect = file;
  setRoute(address, redirect);
  serveInstaller(file);
  installerRegisters(runtime::kDesktopFrameworkX64);
  UserProxySettings proxy;
  proxy.proxy = narrow(proxyAddress());
  setUserProxySettings(proxy);

  EXPECT_EQ(runSetup(exe_, L"--silent", 7).exitCode, 7u);
  std::vector<std::string> overTls;  // inside the tunnel Wine names the whole address, port included
  for (const auto& request : loggedRequests()) {
    if (request.via != "tls") continue;
    const std::string vendor = "https://aka.ms:443";
    overTls.push_back(request.target.rfind(vendor, 0) == 0 ? request.target.substr(vendor.size()) : request.target);
  }
  EXPECT_EQ(overTls, (std::vector<std::string>{address, file}));
  const std::vector<std::string> connects = requests("proxy");
  EXPECT_FALSE(connects.empty());
  for (const std::string& target : connects) EXPECT_EQ(target, "aka.ms:443");
  EXPECT_EQ(installerRuns().size(), 1u);
  EXPECT_TRUE(hostReport().present);
}

// An image stamped with an installer wait of 2 s; the installer waits for a
// file the test writes only once the run has ended (or two minutes pass:
// then it registers the runtime, and an unbounded wait would have started
// the host).
TEST_F(SetupRuntime, AnInstallerThatOutlastsTheInstallerWaitIsLeftRunningAndTheRunGoesOn) {
  changeImageSettings(exe_, [](ImageSettings& settings) { settings.install.installerWaitSeconds = 2; });
  const std::wstring release = scratch_ + L"\\release-installer";
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_WAIT_FOR", release.c_str());
  serveInstaller(kDesktopX64);
  installerRegisters(runtime::kDesktopFrameworkX64);

  const RunResult run = runSetup(exe_, L"--silent");
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 1u);  // the probe decided as after a failed installation
  EXPECT_EQ(requests(), (std::vector<std::string>{kDesktopX64, kBaseX64}));  // the fallback was tried
  EXPECT_TRUE(installerRuns().empty()) << "the installer was not left running";
  EXPECT_FALSE(hostReport().present);

  // Left running, it finishes its installation, and the next run finds it.
  writeFileBytes(release, "go");
  for (int i = 0; i < 100 && installerRuns().empty(); ++i) Sleep(100);
  EXPECT_EQ(installerRuns().size(), 1u);
  Sleep(500);  // its process ends just after its report
  EXPECT_EQ(runSetup(exe_, L"--silent", 4).exitCode, 4u);
  EXPECT_EQ(installerRuns().size(), 1u);
}

// A download host that does not resolve (a vendor host the machine cannot
// look up, a mistyped base): every run ends with 1 after asking for both
// runtimes, and none faults when WinHTTP's lookup threads outlive the
// download (winhttp_library.cpp).
TEST_F(SetupRuntime, AnUnresolvableDownloadHostEndsEveryRunWithOne) {
  changeImageSettings(exe_, [](ImageSettings& settings) {
    settings.install.download = {false, L"https://tenvik-nowhere.invalid"};
  });
  for (int i = 0; i < 3; ++i) {
    const RunResult run = runSetup(exe_, L"--silent");
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1u);
  }
}

TEST_F(SetupRuntime, AWinhttpDllPlantedBesideSetupIsNeverLoaded) {
  // Native first, as Windows treats a DLL that is not a KnownDLL. The plant
  // is not a working winhttp.dll: had it been loaded, no download would work.
  writeFileBytes(scratch_ + L"\\winhttp.dll", readFileBytes(buildPath(L"standins\\report_args.exe")));
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", L"winhttp=n,b");
  serveInstaller(kDesktopX64);
  installerRegisters(runtime::kDesktopFrameworkX64);
  EXPECT_EQ(runSetup(exe_, L"--silent", 9).exitCode, 9u);
  EXPECT_EQ(installerRuns().size(), 1u);
}

TEST_F(SetupRuntime, AWintrustDllPlantedBesideSetupIsNeverLoaded) {
  // As above: had the plant been loaded, no signature could be verified and
  // the installer would never run.
  writeFileBytes(scratch_ + L"\\wintrust.dll", readFileBytes(buildPath(L"standins\\report_args.exe")));
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", L"wintrust=n,b");
  serveInstaller(kDesktopX64);
  installerRegisters(runtime::kDesktopFrameworkX64);
  EXPECT_EQ(runSetup(exe_, L"--silent", 9).exitCode, 9u);
  EXPECT_EQ(installerRuns().size(), 1u);
}

}  // namespace
}  // namespace tenvik::test

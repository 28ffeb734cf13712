// End-to-end runs of the real Setup.exe on a machine that has the runtime:
// what reaches dotnet.exe, what the run leaves behind, and its exit code.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "support/launch_fixture.h"
#include "support/runtime_registry.h"
#include "support/setup_image.h"

namespace tenvik::test {
namespace {

std::string patterned(size_t size, unsigned seed) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 2654435761u + seed) >> 13);
  return data;
}

using Launcher = LaunchTest;

TEST_F(Launcher, UnpacksEveryEntryByteForByteAndRunsTheFirst) {
  const std::string big = patterned(3 * 1024 * 1024 + 7, 1);
  const std::vector<PackageEntry> entries = {
      {"App.dll", patterned(5000, 2)},
      {"App.runtimeconfig.json", "{\"runtimeOptions\":{}}"},
      {"runtimes/win-x64/native/deep/native.dll", patterned(777, 3)},
      {"empty.txt", ""},
      {"de/App.resources.dll", "first"},
      {"big.bin", big},
      {"de/App.resources.dll", "second, longer than the first"},
  };
  const std::wstring exe = setupWithPackage(scratch_, entries);
  const RunResult run = runSetup(exe, L"--mode install");
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 0u);

  const HostReport report = hostReport();
  ASSERT_TRUE(report.present);
  const std::string work = narrow(workDirectory());
  EXPECT_EQ(report.parameters, work + "\\App.dll --mode install");
  EXPECT_EQ(report.directory, work);
  EXPECT_EQ(report.show, "0");  // SW_HIDE
  std::map<std::string, std::string> expected = {
      {"App.dll", fileSignature(entries[0].second)},
      {"App.runtimeconfig.json", fileSignature(entries[1].second)},
      {"runtimes\\win-x64\\native\\deep\\native.dll", fileSignature(entries[2].second)},
      {"empty.txt", fileSignature("")},
      {"de\\App.resources.dll", fileSignature("second, longer than the first")},
      {"big.bin", fileSignature(big)},
  };
  ASSERT_TRUE(report.files.count(".package"));
  auto files = report.files;
  files.erase(".package");
  EXPECT_EQ(files, expected);
  EXPECT_FALSE(directoryExists(workDirectory()));
}

TEST_F(Launcher, HandsTheCommandLineOnAsItStands) {
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "x"}});
  const std::string target = narrow(workDirectory()) + "\\App.dll";
  const std::pair<std::wstring, std::string> cases[] = {
      {L"", target + " "},  // no arguments: the parameters end in one blank
      {L"--lang de \"C:\\My Files\\x\"  two  blanks", target + " --lang de \"C:\\My Files\\x\"  two  blanks"},
      {L"--name=\x00e9t\x00e9 \x65e5\x672c\x8a9e", target + " --name=\xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},
  };
  for (const auto& [args, parameters] : cases) {
    const RunResult run = runSetup(exe, args);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(hostReport().parameters, parameters);
  }
}

TEST_F(Launcher, PassesTheHostExitCodeThroughUnchanged) {
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "x"}});
  for (long long code : {1LL, -1LL, 0xE0434352LL, 3010LL, 1603LL}) {
    const RunResult run = runSetup(exe, L"", code);
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(code)) << "host exit code " << code;
    EXPECT_FALSE(directoryExists(workDirectory()));
  }
}

TEST_F(Launcher, DiscardsAStaleWorkDirectoryFirst) {
  ASSERT_TRUE(CreateDirectoryW(productDirectory().c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(workDirectory().c_str(), nullptr));
  writeFileBytes(workDirectory() + L"\\stale.dll", "from an earlier run");
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "x"}});
  ASSERT_EQ(runSetup(exe, L"").exitCode, 0u);
  const HostReport report = hostReport();
  EXPECT_EQ(report.files.count("stale.dll"), 0u);
  EXPECT_EQ(report.files.count("App.dll"), 1u);
  EXPECT_FALSE(directoryExists(workDirectory()));
}

TEST_F(Launcher, WithoutDotnetExeEndsWithMinusOneAndCleansUp) {
  DeleteFileW((hostDirectory_ + L"\\dotnet.exe").c_str());
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "x"}});
  const RunResult run = runSetup(exe, L"--silent");
  EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
  EXPECT_FALSE(directoryExists(workDirectory()));
}

TEST_F(Launcher, FindsTheHostInTheDefaultDirectoryWhenNoLocationIsRegistered) {
  clearRuntimeRegistrations();
  registerFramework(RuntimeArch::X64, L"Microsoft.NETCore.App", L"6.0.36");
  registerFramework(RuntimeArch::X64, L"Microsoft.WindowsDesktop.App", L"6.0.36");
  // This 32-bit process sees the native Program Files through ProgramW6432.
  const std::wstring defaultDirectory = environmentVariable(L"ProgramW6432") + L"\\dotnet";
  installFakeHost(defaultDirectory);
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "x"}});
  const RunResult run = runSetup(exe, L"", 42);
  deleteTree(defaultDirectory);
  EXPECT_EQ(run.exitCode, 42u);
}

// A location is used only as a full path on a local drive: the user's
// environment is never expanded into it, and a device path is refused too.
// With no host in the default directory nothing starts.
TEST_F(Launcher, TakesTheHostOnlyFromAFullLocalInstallLocation) {
  SetEnvironmentVariableW(L"TENVIK_HOST_DIR", hostDirectory_.c_str());
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "x"}});
  for (const std::wstring& location : {std::wstring(L"%TENVIK_HOST_DIR%"), L"\\\\?\\" + hostDirectory_}) {
    setRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x64", L"InstallLocation",
                      location, REG_EXPAND_SZ, KEY_WOW64_32KEY);
    const RunResult run = runSetup(exe, L"", 7);
    EXPECT_EQ(run.exitCode, 0xFFFFFFFFu) << narrow(location);
    EXPECT_FALSE(hostReport().present) << narrow(location);
    EXPECT_FALSE(directoryExists(workDirectory()));
  }
  SetEnvironmentVariableW(L"TENVIK_HOST_DIR", nullptr);
}

// Opening an .exe through the shell would consult the class registrations,
// which merge the user's own HKCU\Software\Classes even when elevated.
TEST_F(Launcher, TheUsersClassRegistrationsNeverReplaceTheHost) {
  const std::wstring planted = L"\"" + buildPath(L"standins\\report_args.exe") + L"\" \"%1\" %*";
  const std::wstring plantedReport = scratch_ + L"\\planted.txt";
  SetEnvironmentVariableW(L"TENVIK_REPORT_FILE", plantedReport.c_str());
  const wchar_t* const classes = L"Software\\Classes\\";
  setRegistryString(HKEY_CURRENT_USER, classes + std::wstring(L"exefile\\shell\\open\\command"), L"", planted);
  setRegistryString(HKEY_CURRENT_USER, classes + std::wstring(L".exe"), L"", L"TenvikPlanted");
  setRegistryString(HKEY_CURRENT_USER, classes + std::wstring(L"TenvikPlanted\\shell\\open\\command"), L"", planted);
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "x"}});
  const RunResult run = runSetup(exe, L"a", 5);
  for (const wchar_t* key : {L"exefile", L".exe", L"TenvikPlanted"}) {
    deleteRegistryTree(HKEY_CURRENT_USER, classes + std::wstring(key));
  }
  SetEnvironmentVariableW(L"TENVIK_REPORT_FILE", nullptr);
  EXPECT_EQ(run.exitCode, 5u);
  EXPECT_EQ(hostReport().parameters, narrow(workDirectory()) + "\\App.dll a");
  EXPECT_FALSE(fileExists(plantedReport));
}

struct BadPackage {
  const char* what;
  std::optional<std::string> resource;  // the whole payload resource, if any
};

std::vector<BadPackage> badPackages() {
  const std::string good = packageArchive({{"App.dll", "app"}, {"lib/b.dll", patterned(100000, 4)}});
  const std::string gz = gzipMember(good);
  std::string badCrc = gz;
  badCrc[badCrc.size() - 5] ^= 0x55;  // the CRC-32 in the trailer
  std::string hugeLength = packageArchive({{"App.dll", "app"}});
  hugeLength += std::string("\x05\x00\x00\x00" "x.bin" "\xf0\xff\xff\xff", 13) + "only a little data";

  // Only a package that arrived whole is launched: a CRC says some byte is
  // wrong, not which, and a cut-short archive is missing files.
  std::vector<BadPackage> cases = {
      {"truncated in the second entry", payloadResource(gz.substr(0, gz.size() / 2))},
      {"corrupted CRC", payloadResource(badCrc)},
      {"archive cut inside its last entry, gzip member intact",
       payloadResource(gzipMember(good.substr(0, good.size() - 1)))},
      {"a quote in the first entry's name",
       payloadResource(gzipMember(packageArchive({{"x\" --evil \"y", "x"}, {"App.dll", "a"}})))},
      {"an unsafe later entry", payloadResource(gzipMember(packageArchive({{"App.dll", "a"}, {"../evil.dll", "x"}})))},
      // A file where the archive already made a folder cannot be written.
      {"an entry that cannot be written",
       payloadResource(gzipMember(packageArchive({{"App.dll", "a"}, {"lib/b.dll", "b"}, {"lib", "c"}})))},
      {"unsafe first entry", payloadResource(gzipMember(packageArchive({{"../evil.dll", "x"}, {"App.dll", "a"}})))},
      {"absolute first entry", payloadResource(gzipMember(packageArchive({{"C:/evil.dll", "x"}})))},
      {"huge declared length", payloadResource(gzipMember(hugeLength))},
      {"huge first name length", payloadResource(gzipMember(std::string("\xff\xff\xff\xff" "short", 9)))},
      {"empty payload", payloadResource("")},
      {"empty archive", payloadResource(gzipMember(""))},
      {"not gzip at all", payloadResource("this is not a gzip member")},
  };
  std::string pastEnd = payloadResource(gzipMember(good));
  pastEnd[40] = '\xff';
  pastEnd[41] = '\xff';
  pastEnd[42] = '\xff';
  pastEnd[43] = '\x7f';  // a length far beyond the resource
  cases.push_back({"length past the end of the resource", pastEnd});
  cases.push_back({"resource shorter than its header", std::string(20, '\0')});
  cases.push_back({"no payload resource", std::nullopt});
  return cases;
}

TEST_F(Launcher, EndsCleanlyOnBadPackages) {
  for (const BadPackage& bad : badPackages()) {
    SCOPED_TRACE(bad.what);
    const std::wstring dir = makeScratchDirectory(L"bad");
    const std::wstring exe = setupWithResource(dir, bad.resource ? &*bad.resource : nullptr);
    const RunResult run = runSetup(exe, L"--silent", 5);
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0xFFFFFFFFu) << std::hex << run.exitCode;
    EXPECT_FALSE(hostReport().present);
    EXPECT_FALSE(directoryExists(workDirectory()));
    EXPECT_FALSE(fileExists(programDataPath() + L"\\Tenvik\\evil.dll"));
    EXPECT_FALSE(fileExists(L"C:\\evil.dll"));
    deleteTree(dir);
  }
}

TEST_F(Launcher, AcceptsAContainerMadeByHandWithAnyHeader) {
  // Any bitmap 102 whose bytes 40..43 hold the length and 44.. the payload.
  const std::string gz = gzipMember(packageArchive({{"Hand.dll", "made by hand"}}));
  std::string resource(40, '\0');
  resource[0] = 40;
  resource[4] = 3;   // width 3
  resource[8] = 1;   // height 1: far too small to hold the payload as pixels
  resource[12] = 1;
  resource[14] = 24;
  const uint32_t n = static_cast<uint32_t>(gz.size());
  for (int i = 0; i < 4; ++i) resource.push_back(static_cast<char>(n >> (8 * i)));
  resource += gz;
  resource += std::string(13, '\0');
  const std::wstring exe = setupWithResource(scratch_, &resource);
  const RunResult run = runSetup(exe, L"");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(hostReport().parameters, narrow(workDirectory()) + "\\Hand.dll ");
  EXPECT_EQ(hostReport().files[".package"], fileSignature(gz));
}

TEST_F(Launcher, QuotesALaunchTargetWithABlank) {
  const std::wstring exe = setupWithPackage(scratch_, {{"My App/App Main.dll", "x"}});
  ASSERT_EQ(runSetup(exe, L"a").exitCode, 0u);
  EXPECT_EQ(hostReport().parameters, "\"" + narrow(workDirectory()) + "\\My App\\App Main.dll\" a");
}

}  // namespace
}  // namespace tenvik::test

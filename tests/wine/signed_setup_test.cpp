// The Setup.exe the build signs with osslsigncode, as a release engineer
// ships it: Windows accepts the signature over the whole image, payload
// included, and the signed program still unpacks and runs its package.

#include <gtest/gtest.h>
#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include <string>

#include "support/launch_fixture.h"

namespace tenvik::test {
namespace {

LONG verifySignature(const std::wstring& path) {
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof(file);
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return status;
}

using SignedSetup = LaunchTest;

TEST_F(SignedSetup, CarriesAValidSignatureAndRunsTheSampleApplication) {
  const std::wstring exe = buildPath(L"standins\\SetupSigned.exe");
  ASSERT_TRUE(fileExists(exe));
  // Wine checks the digest and the signature's presence, not the root.
  EXPECT_EQ(verifySignature(exe), 0);

  const RunResult run = runSetup(exe, L"--silent");
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 0u);
  const HostReport report = hostReport();
  ASSERT_TRUE(report.present);
  EXPECT_EQ(report.parameters, narrow(workDirectory()) + "\\Sample.App.dll --silent");
  for (const char* name : {"Sample.App.dll", "Sample.App.deps.json", "Sample.App.runtimeconfig.json"}) {
    const std::string bytes = readFileBytes(sourcePath(L"tests\\data\\sample-app\\" + widen(name)));
    ASSERT_TRUE(report.files.count(name)) << name;
    EXPECT_EQ(report.files.at(name), fileSignature(bytes)) << name;
  }
  EXPECT_FALSE(directoryExists(workDirectory()));
}

TEST_F(SignedSetup, AnyChangedByteBreaksTheSignature) {
  std::string bytes = readFileBytes(buildPath(L"standins\\SetupSigned.exe"));
  // The payload's gzip member: its header, then the first compressed byte.
  const size_t payload = bytes.rfind(std::string("\x1f\x8b\x08\x00", 4));
  ASSERT_NE(payload, std::string::npos);
  bytes[payload + 10] ^= 0x01;
  const std::wstring tampered = scratch_ + L"\\Tampered.exe";
  writeFileBytes(tampered, bytes);
  EXPECT_EQ(verifySignature(tampered), static_cast<LONG>(TRUST_E_BAD_DIGEST));
}

}  // namespace
}  // namespace tenvik::test

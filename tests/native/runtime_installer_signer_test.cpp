#include "runtime/installer_signer.h"

#include <gtest/gtest.h>

#include <string>

namespace tenvik {
namespace {

using namespace std::string_literals;

TEST(InstallerSigner, OnlyAVerifiedSignatureOfExactlyTheRequiredSignerIsAccepted) {
  const std::wstring microsoft = L"Microsoft Corporation";
  struct Case {
    const char* what;
    std::wstring required;
    bool verified;
    std::wstring signer;
    bool accepted;
  };
  const Case cases[] = {
      {"the required signer, verified", microsoft, true, microsoft, true},
      {"the required signer, not verified (bad digest, untrusted root)", microsoft, false, microsoft, false},
      {"no signature at all", microsoft, false, L"", false},
      {"verified, but no signer could be read", microsoft, true, L"", false},
      {"another signer", microsoft, true, L"Tenvik Test Impostor", false},
      {"another case", microsoft, true, L"microsoft corporation", false},
      {"a trailing blank", microsoft, true, L"Microsoft Corporation ", false},
      {"a prefix of the name", microsoft, true, L"Microsoft", false},
      {"the name with more after a zero unit", microsoft, true, L"Microsoft Corporation\0evil"s, false},
      {"the check turned off: unsigned", L"", false, L"", true},
      {"the check turned off: anyone", L"", true, L"Tenvik Test Impostor", true},
      {"another required signer", L"Tenvik Ltd", true, L"Tenvik Ltd", true},
  };
  for (const Case& c : cases) {
    SignatureFinding finding;
    finding.verified = c.verified;
    finding.signer = c.signer;
    EXPECT_EQ(isAcceptedInstaller(c.required, finding), c.accepted) << c.what;
  }
}

}  // namespace
}  // namespace tenvik

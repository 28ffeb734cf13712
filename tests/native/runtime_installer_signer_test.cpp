#include "runtime/installer_signer.h"

#include <gtest/gtest.h>

#include <cstdint>
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

TEST(InstallerSigner, AnUnknownRevocationStatusIsAcceptedAndAKnownRevocationRefused) {
  using namespace trust;
  constexpr std::uint32_t kBadDigest = 0x80096010;     // TRUST_E_BAD_DIGEST
  constexpr std::uint32_t kNoSignature = 0x800B0100;   // TRUST_E_NOSIGNATURE
  constexpr std::uint32_t kUntrustedRoot = 0x800B0109; // CERT_E_UNTRUSTEDROOT
  constexpr std::uint32_t kChainUntrustedRoot = 0x20;  // CERT_TRUST_IS_UNTRUSTED_ROOT
  constexpr std::uint32_t kChainNotTimeValid = 0x1;    // CERT_TRUST_IS_NOT_TIME_VALID
  struct Case {
    const char* what;
    TrustAnswer answer;
    bool trusted;
  };
  const Case cases[] = {
      {"verified, revocation checked", {0, true, 0}, true},
      {"verified, no chain read", {0, false, 0}, true},
      {"offline: revocation failure, status unknown and offline",
       {kRevocationFailure, true, kChainStatusUnknown | kChainOfflineRevocation}, true},
      {"offline: revocation servers unreachable", {kRevocationOffline, true, kChainOfflineRevocation}, true},
      {"no revocation check possible", {kNoRevocationCheck, true, kChainStatusUnknown}, true},
      {"status unknown, but the chain could not be read", {kRevocationFailure, false, 0}, false},
      {"revoked (certificate policy)", {kRevoked, true, kChainIsRevoked}, false},
      {"revoked (revocation provider)", {kCryptRevoked, true, kChainIsRevoked}, false},
      {"revoked, no chain read", {kRevoked, false, 0}, false},
      {"one revoked, another unknown", {kRevocationFailure, true, kChainStatusUnknown | kChainIsRevoked}, false},
      {"unknown revocation hides an untrusted root",
       {kRevocationFailure, true, kChainStatusUnknown | kChainUntrustedRoot}, false},
      {"unknown revocation hides an expired certificate",
       {kRevocationOffline, true, kChainOfflineRevocation | kChainNotTimeValid}, false},
      {"bad digest", {kBadDigest, true, 0}, false},
      {"no signature", {kNoSignature, false, 0}, false},
      {"untrusted root", {kUntrustedRoot, true, kChainUntrustedRoot}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(isTrustedSignature(c.answer), c.trusted) << c.what;
}

}  // namespace
}  // namespace tenvik

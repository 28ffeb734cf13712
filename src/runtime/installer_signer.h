#pragma once
// Whether a downloaded runtime installer may run, from what its Authenticode
// signature showed. Pure decisions; the signature is read in
// installer_signature.cpp.

#include <cstdint>
#include <string>

namespace tenvik {

// What WinVerifyTrust answered for a file, checked with revocation for the
// whole chain below the root.
struct TrustAnswer {
  // WinVerifyTrust's result, as the unsigned form of its HRESULT.
  std::uint32_t status = 0;
  // Whether the signer's certificate chain could be read after the check.
  bool chainRead = false;
  // That chain's CERT_TRUST_STATUS error bits (meaningful when chainRead).
  std::uint32_t chainErrors = 0;
};

// The platform's values, spelled out so that the decision builds anywhere.
namespace trust {
constexpr std::uint32_t kRevoked = 0x800B010C;                 // CERT_E_REVOKED
constexpr std::uint32_t kRevocationFailure = 0x800B010E;       // CERT_E_REVOCATION_FAILURE
constexpr std::uint32_t kCryptRevoked = 0x80092010;            // CRYPT_E_REVOKED
constexpr std::uint32_t kNoRevocationCheck = 0x80092012;       // CRYPT_E_NO_REVOCATION_CHECK
constexpr std::uint32_t kRevocationOffline = 0x80092013;       // CRYPT_E_REVOCATION_OFFLINE
constexpr std::uint32_t kChainIsRevoked = 0x00000004;          // CERT_TRUST_IS_REVOKED
constexpr std::uint32_t kChainStatusUnknown = 0x00000040;      // CERT_TRUST_REVOCATION_STATUS_UNKNOWN
constexpr std::uint32_t kChainOfflineRevocation = 0x01000000;  // CERT_TRUST_IS_OFFLINE_REVOCATION
}  // namespace trust

// True when the signature is trusted: WinVerifyTrust answered 0, or it
// answered only that the revocation status is unknown (CERT_E_REVOCATION_FAILURE,
// CRYPT_E_REVOCATION_OFFLINE, CRYPT_E_NO_REVOCATION_CHECK) and the signer's
// chain was read and shows no error but an unknown or offline revocation
// status. A machine that cannot reach the revocation servers (offline, a proxy
// that blocks them) still installs; a certificate known to be revoked
// (CERT_E_REVOKED, CRYPT_E_REVOKED, or CERT_TRUST_IS_REVOKED in the chain) and
// every other failure are refused.
bool isTrustedSignature(const TrustAnswer& answer);

struct SignatureFinding {
  bool verified = false;  // isTrustedSignature accepted what WinVerifyTrust answered
  // The common name (CN) of the signing certificate's subject, read as that
  // attribute alone (no fallback to other fields of the subject); empty when
  // no signer could be read or the subject has no common name. Taken whole,
  // so a name with a zero unit inside never equals one without.
  std::wstring signer;
};

// True when requiredSigner is empty (the check is turned off) or when the
// signature verified and its signer equals requiredSigner exactly: same case,
// same blanks, nothing more or less.
bool isAcceptedInstaller(const std::wstring& requiredSigner, const SignatureFinding& finding);

// Whether the check is turned off, so no signature needs reading at all.
inline bool signatureCheckOff(const std::wstring& requiredSigner) { return requiredSigner.empty(); }

}  // namespace tenvik

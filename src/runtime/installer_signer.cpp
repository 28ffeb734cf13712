#include "runtime/installer_signer.h"

namespace tenvik {

bool isTrustedSignature(const TrustAnswer& answer) {
  if (answer.status == 0) return true;
  const bool revocationUnknown = answer.status == trust::kRevocationFailure ||
                                 answer.status == trust::kRevocationOffline ||
                                 answer.status == trust::kNoRevocationCheck;
  if (!revocationUnknown || !answer.chainRead) return false;
  // The policy reports one error for the whole chain; the chain's own bits
  // show whether anything but the unreachable revocation servers is wrong.
  const std::uint32_t unknownOnly = trust::kChainStatusUnknown | trust::kChainOfflineRevocation;
  return (answer.chainErrors & ~unknownOnly) == 0;
}

bool isAcceptedInstaller(const std::wstring& requiredSigner, const SignatureFinding& finding) {
  if (signatureCheckOff(requiredSigner)) return true;
  // The name we require is a fixed publisher name: any variant is someone
  // else's certificate.
  return finding.verified && finding.signer == requiredSigner;
}

}  // namespace tenvik

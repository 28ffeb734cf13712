#include "runtime/installer_signer.h"

namespace tenvik {

bool isAcceptedInstaller(const std::wstring& requiredSigner, const SignatureFinding& finding) {
  if (signatureCheckOff(requiredSigner)) return true;
  // A display name is meant for people, but the one we require is a fixed
  // publisher name: any variant is someone else's certificate.
  return finding.verified && finding.signer == requiredSigner;
}

}  // namespace tenvik

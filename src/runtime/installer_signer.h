#pragma once
// Whether a downloaded runtime installer may run, from what its Authenticode
// signature showed. Pure decision; the signature is read in
// installer_signature.cpp.

#include <string>

namespace tenvik {

struct SignatureFinding {
  bool verified = false;  // WinVerifyTrust accepted the signature and its chain
  // The signing certificate's subject as a simple display name (its common
  // name); empty when no signer could be read. Taken whole, so a name with a
  // zero unit inside never equals one without.
  std::wstring signer;
};

// True when requiredSigner is empty (the check is turned off) or when the
// signature verified and its signer equals requiredSigner exactly: same case,
// same blanks, nothing more or less.
bool isAcceptedInstaller(const std::wstring& requiredSigner, const SignatureFinding& finding);

// Whether the check is turned off, so no signature needs reading at all.
inline bool signatureCheckOff(const std::wstring& requiredSigner) { return requiredSigner.empty(); }

}  // namespace tenvik

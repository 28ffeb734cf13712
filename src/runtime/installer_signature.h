#pragma once
// Reads the Authenticode signature of a file through an open handle, with
// wintrust.dll and crypt32.dll loaded from the system directory (neither is a
// KnownDLL; see system/system_library.h).

#include <windows.h>

#include <string>

#include "runtime/installer_signer.h"

namespace tenvik {

// Verifies the signature of the file open as file (read access; path names
// the same file, for the platform's messages only) with WinVerifyTrust,
// WINTRUST_ACTION_GENERIC_VERIFY_V2, no user interface, revocation checked
// for the whole chain below the root, and reads the signer certificate's
// common name. Whether the answer is trusted is isTrustedSignature's
// decision: an unknown revocation status (the revocation servers cannot be
// reached) is accepted, a revoked certificate is not. Verification and the
// name come through the handle, never the path. A failure of any kind (the
// DLLs missing, no signature, a bad digest, an untrusted or revoked chain)
// gives verified false; the signer is then whatever could be read.
SignatureFinding inspectSignature(HANDLE file, const std::wstring& path);

}  // namespace tenvik

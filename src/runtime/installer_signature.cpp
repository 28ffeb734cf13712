#include "runtime/installer_signature.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdint>
#include <vector>

#include "system/system_library.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

struct TrustLibrary {
  UniqueModule wintrust;
  UniqueModule crypt32;
  decltype(&::WinVerifyTrust) verifyTrust = nullptr;
  decltype(&::WTHelperProvDataFromStateData) providerData = nullptr;
  decltype(&::WTHelperGetProvSignerFromChain) signerFromChain = nullptr;
  decltype(&::CertGetNameStringW) nameString = nullptr;
};

bool loadTrustLibrary(TrustLibrary& library) {
  library.wintrust.reset(loadSystemLibrary(L"wintrust.dll"));
  library.crypt32.reset(loadSystemLibrary(L"crypt32.dll"));
  if (!library.wintrust || !library.crypt32) return false;
  return resolveFunction(library.wintrust.get(), "WinVerifyTrust", library.verifyTrust) &&
         resolveFunction(library.wintrust.get(), "WTHelperProvDataFromStateData", library.providerData) &&
         resolveFunction(library.wintrust.get(), "WTHelperGetProvSignerFromChain", library.signerFromChain) &&
         resolveFunction(library.crypt32.get(), "CertGetNameStringW", library.nameString);
}

// The subject's common name alone: CERT_NAME_SIMPLE_DISPLAY_TYPE would fall
// back to the organisation or an e-mail address when there is no CN, and a
// certificate without one is not the publisher's.
std::wstring commonName(const TrustLibrary& library, PCCERT_CONTEXT certificate) {
  void* attribute = const_cast<char*>(szOID_COMMON_NAME);
  const DWORD units = library.nameString(certificate, CERT_NAME_ATTR_TYPE, 0, attribute, nullptr, 0);
  if (units <= 1) return std::wstring();
  std::vector<wchar_t> name(units);
  const DWORD written = library.nameString(certificate, CERT_NAME_ATTR_TYPE, 0, attribute, name.data(), units);
  if (written == 0 || written > units) return std::wstring();
  return std::wstring(name.data(), written - 1);  // without the terminator, zero units inside kept
}

CRYPT_PROVIDER_SGNR* firstSigner(const TrustLibrary& library, HANDLE stateData) {
  CRYPT_PROVIDER_DATA* provider = library.providerData(stateData);
  if (provider == nullptr) return nullptr;
  return library.signerFromChain(provider, 0, FALSE, 0);
}

std::wstring signerName(const TrustLibrary& library, const CRYPT_PROVIDER_SGNR* signer) {
  if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr) return std::wstring();
  PCCERT_CONTEXT certificate = signer->pasCertChain[0].pCert;
  return certificate == nullptr ? std::wstring() : commonName(library, certificate);
}

}  // namespace

SignatureFinding inspectSignature(HANDLE file, const std::wstring& path) {
  SignatureFinding finding;
  TrustLibrary library;
  if (!loadTrustLibrary(library)) return finding;

  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = path.c_str();
  fileInfo.hFile = file;

  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  // Every certificate below the root is checked for revocation; a root is
  // trusted or not as a whole.
  data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  // INVALID_HANDLE_VALUE as the window: no interface at all, not even on
  // the desktop of an interactive user.
  const LONG status = library.verifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  TrustAnswer answer;
  answer.status = static_cast<std::uint32_t>(status);
  if (data.hWVTStateData != nullptr) {
    const CRYPT_PROVIDER_SGNR* signer = firstSigner(library, data.hWVTStateData);
    if (signer != nullptr && signer->pChainContext != nullptr) {
      answer.chainRead = true;
      answer.chainErrors = signer->pChainContext->TrustStatus.dwErrorStatus;
    }
    finding.signer = signerName(library, signer);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    library.verifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  }
  finding.verified = isTrustedSignature(answer);
  return finding;
}

}  // namespace tenvik

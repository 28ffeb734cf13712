// The Authenticode signature of a PE image, read and checked with the
// system's crypt32 (the PKCS#7 message, the signer's certificate and key)
// and bcrypt (the digests): the same checks, in the same order and with the
// same verdicts, as the OpenSSL build makes.

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "authenticode_layout.h"
#include "installer_check.h"
#include "utf_text.h"

namespace tenvik::packer {
namespace {

constexpr DWORD encoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct MessageCloser {
  void operator()(HCRYPTMSG message) const { CryptMsgClose(message); }
};
using Message = std::unique_ptr<void, MessageCloser>;
struct StoreCloser {
  void operator()(HCERTSTORE store) const { CertCloseStore(store, 0); }
};
using Store = std::unique_ptr<void, StoreCloser>;
struct CertificateFreer {
  void operator()(PCCERT_CONTEXT certificate) const { CertFreeCertificateContext(certificate); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFreer>;
struct AlgorithmCloser {
  void operator()(BCRYPT_ALG_HANDLE algorithm) const { BCryptCloseAlgorithmProvider(algorithm, 0); }
};
using Algorithm = std::unique_ptr<void, AlgorithmCloser>;
struct HashDestroyer {
  void operator()(BCRYPT_HASH_HANDLE hash) const { BCryptDestroyHash(hash); }
};
using Hash = std::unique_ptr<void, HashDestroyer>;

// The digest algorithms OpenSSL knows that signers use, by the OID both as
// crypt32 spells it and as DER contents octets.
struct DigestAlgorithm {
  const char* oid;
  std::string_view der;
  const wchar_t* name;
};
const DigestAlgorithm digestAlgorithms[] = {
    {"2.16.840.1.101.3.4.2.1", std::string_view("\x60\x86\x48\x01\x65\x03\x04\x02\x01", 9), BCRYPT_SHA256_ALGORITHM},
    {"2.16.840.1.101.3.4.2.2", std::string_view("\x60\x86\x48\x01\x65\x03\x04\x02\x02", 9), BCRYPT_SHA384_ALGORITHM},
    {"2.16.840.1.101.3.4.2.3", std::string_view("\x60\x86\x48\x01\x65\x03\x04\x02\x03", 9), BCRYPT_SHA512_ALGORITHM},
    {"1.3.14.3.2.26", std::string_view("\x2B\x0E\x03\x02\x1A", 5), BCRYPT_SHA1_ALGORITHM},
    {"1.2.840.113549.2.5", std::string_view("\x2A\x86\x48\x86\xF7\x0D\x02\x05", 8), BCRYPT_MD5_ALGORITHM},
};

const wchar_t* algorithmByDer(std::string_view der) {
  for (const DigestAlgorithm& known : digestAlgorithms) {
    if (known.der == der) return known.name;
  }
  return nullptr;
}

const wchar_t* algorithmByOid(const char* oid) {
  for (const DigestAlgorithm& known : digestAlgorithms) {
    if (oid != nullptr && std::string_view(known.oid) == oid) return known.name;
  }
  return nullptr;
}

std::optional<std::string> digestOf(const wchar_t* name, const std::vector<std::string_view>& parts) {
  BCRYPT_ALG_HANDLE rawAlgorithm = nullptr;
  if (BCryptOpenAlgorithmProvider(&rawAlgorithm, name, nullptr, 0) < 0) return std::nullopt;
  const Algorithm algorithm(rawAlgorithm);
  DWORD length = 0, written = 0;
  if (BCryptGetProperty(rawAlgorithm, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof length, &written,
                        0) < 0) {
    return std::nullopt;
  }
  BCRYPT_HASH_HANDLE rawHash = nullptr;
  if (BCryptCreateHash(rawAlgorithm, &rawHash, nullptr, 0, nullptr, 0, 0) < 0) return std::nullopt;
  const Hash hash(rawHash);
  for (std::string_view part : parts) {
    // BCryptHashData takes at most 4 GiB at a time.
    while (!part.empty()) {
      const ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(part.size(), 1u << 30));
      if (BCryptHashData(rawHash, reinterpret_cast<PUCHAR>(const_cast<char*>(part.data())), chunk, 0) < 0) {
        return std::nullopt;
      }
      part.remove_prefix(chunk);
    }
  }
  std::string digest(length, '\0');
  if (BCryptFinishHash(rawHash, reinterpret_cast<PUCHAR>(digest.data()), length, 0) < 0) return std::nullopt;
  return digest;
}

// A parameter of message as bytes, or nothing when it has none.
std::optional<std::string> parameterOf(HCRYPTMSG message, DWORD type, DWORD index = 0) {
  DWORD size = 0;
  if (!CryptMsgGetParam(message, type, index, nullptr, &size)) return std::nullopt;
  std::string bytes(size, '\0');
  if (!CryptMsgGetParam(message, type, index, bytes.data(), &size)) return std::nullopt;
  bytes.resize(size);
  return bytes;
}

// The messageDigest among the signer's authenticated attributes: the
// contents of the OCTET STRING that is its one value.
std::optional<std::string> messageDigestOf(HCRYPTMSG message) {
  const auto bytes = parameterOf(message, CMSG_SIGNER_AUTH_ATTR_PARAM);
  if (!bytes) return std::nullopt;
  const auto* attributes = reinterpret_cast<const CRYPT_ATTRIBUTES*>(bytes->data());
  for (DWORD i = 0; i < attributes->cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = attributes->rgAttr[i];
    if (std::string_view(attribute.pszObjId) != szOID_RSA_messageDigest || attribute.cValue != 1) continue;
    const std::string_view value(reinterpret_cast<const char*>(attribute.rgValue[0].pbData), attribute.rgValue[0].cbData);
    // A short-form OCTET STRING: digests are shorter than 128 bytes.
    if (value.size() < 2 || value[0] != 0x04 || static_cast<unsigned char>(value[1]) != value.size() - 2) {
      return std::nullopt;
    }
    return std::string(value.substr(2));
  }
  return std::nullopt;
}

std::string commonNameOf(PCCERT_CONTEXT certificate) {
  void* const type = const_cast<char*>(szOID_COMMON_NAME);
  const DWORD length = CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, type, nullptr, 0);
  if (length <= 1) return {};
  std::wstring name(length, L'\0');
  CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, type, name.data(), length);
  name.resize(length - 1);
  return utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size()));
}

// Checks that message covers file: the image digest in its
// SpcIndirectDataContent is the file's, the signed attributes' message
// digest is that content's, and the signer's key signed those attributes.
// Trust in the signer's certificate chain is the run-time check's matter.
std::string coverageProblem(std::string_view file, const SignatureLayout& layout, HCRYPTMSG message,
                            PCCERT_CONTEXT signer) {
  const auto contentType = parameterOf(message, CMSG_INNER_CONTENT_TYPE_PARAM);
  const auto content = parameterOf(message, CMSG_CONTENT_PARAM);
  if (!contentType || std::string_view(contentType->c_str()) == szOID_RSA_data || !content || content->empty() ||
      (*content)[0] != 0x30) {
    return "its signature holds no Authenticode image digest";
  }
  std::string problem;
  const auto indirect = readIndirectData(*content, problem);
  if (!indirect) return problem;
  const wchar_t* imageAlgorithm = algorithmByDer(indirect->algorithm);
  if (imageAlgorithm == nullptr) return "its image digest uses an algorithm this packer does not know";
  const auto image = digestOf(imageAlgorithm, digestedParts(file, layout));
  if (!image || *image != indirect->digest) return "its signature does not match the file: it was changed after signing";

  const auto info = parameterOf(message, CMSG_SIGNER_INFO_PARAM);
  const wchar_t* attributeAlgorithm =
      info ? algorithmByOid(reinterpret_cast<const CMSG_SIGNER_INFO*>(info->data())->HashAlgorithm.pszObjId) : nullptr;
  const auto messageDigest = messageDigestOf(message);
  if (attributeAlgorithm == nullptr || !messageDigest) return "its signer information cannot be read";
  const auto contentDigest = digestOf(attributeAlgorithm, {indirect->contents});
  if (!contentDigest || *contentDigest != *messageDigest) return "its signed attributes do not match its content";

  if (!CryptMsgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE, signer->pCertInfo)) {
    return "its signature does not verify with the signer's key";
  }
  return {};
}

}  // namespace

InstallerSignature readInstallerSignature(std::string_view file) {
  InstallerSignature found;
  const auto layout = layoutOf(file, found.problem);
  if (!layout) return found;
  const auto signedData = signedDataOf(file, *layout, found.problem);
  if (!signedData) return found;
  const Message message(CryptMsgOpenToDecode(encoding, 0, 0, 0, nullptr, nullptr));
  DWORD type = 0, size = sizeof type;
  if (!message ||
      !CryptMsgUpdate(message.get(), reinterpret_cast<const BYTE*>(signedData->data()),
                      static_cast<DWORD>(signedData->size()), TRUE) ||
      !CryptMsgGetParam(message.get(), CMSG_TYPE_PARAM, 0, &type, &size) || type != CMSG_SIGNED) {
    found.problem = "its signature is not a PKCS#7 signed-data structure";
    return found;
  }
  found.present = true;
  DWORD signers = 0;
  size = sizeof signers;
  const Store store(CertOpenStore(CERT_STORE_PROV_MSG, encoding, 0, 0, message.get()));
  const auto signerInfo = parameterOf(message.get(), CMSG_SIGNER_CERT_INFO_PARAM);
  const Certificate signer(
      store && signerInfo && CryptMsgGetParam(message.get(), CMSG_SIGNER_COUNT_PARAM, 0, &signers, &size) && signers == 1
          ? CertGetSubjectCertificateFromStore(store.get(), encoding,
                                               reinterpret_cast<PCERT_INFO>(const_cast<char*>(signerInfo->data())))
          : nullptr);
  if (!signer) {
    found.problem = "its signature does not carry exactly one signer certificate";
    return found;
  }
  found.signer = commonNameOf(signer.get());
  found.problem = coverageProblem(file, *layout, message.get(), signer.get());
  found.coversFile = found.problem.empty();
  return found;
}

}  // namespace tenvik::packer

// The Authenticode signature of a PE image, read and checked with OpenSSL.

#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <memory>
#include <vector>

#include "authenticode_layout.h"
#include "installer_check.h"

namespace tenvik::packer {
namespace {

template <typename T, void (*Free)(T*)>
struct Freer {
  void operator()(T* p) const { Free(p); }
};
using Pkcs7 = std::unique_ptr<PKCS7, Freer<PKCS7, PKCS7_free>>;
using DigestInfo = std::unique_ptr<X509_SIG, Freer<X509_SIG, X509_SIG_free>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Freer<EVP_MD_CTX, EVP_MD_CTX_free>>;
void freeSigners(STACK_OF(X509) * signers) { sk_X509_free(signers); }
using Signers = std::unique_ptr<STACK_OF(X509), Freer<STACK_OF(X509), freeSigners>>;
void freeBytes(unsigned char* p) { OPENSSL_free(p); }
using OpenSslBytes = std::unique_ptr<unsigned char, Freer<unsigned char, freeBytes>>;

std::optional<std::string> digestOf(const EVP_MD* md, const std::vector<std::string_view>& parts) {
  DigestContext context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) return std::nullopt;
  for (const std::string_view part : parts) {
    if (EVP_DigestUpdate(context.get(), part.data(), part.size()) != 1) return std::nullopt;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return std::nullopt;
  return std::string(reinterpret_cast<char*>(digest), length);
}

std::string_view viewOf(const ASN1_STRING* value) {
  return {reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)), static_cast<std::size_t>(ASN1_STRING_length(value))};
}

std::string commonNameOf(X509* certificate) {
  X509_NAME* subject = X509_get_subject_name(certificate);
  const int at = subject ? X509_NAME_get_index_by_NID(subject, NID_commonName, -1) : -1;
  if (at < 0) return {};
  unsigned char* utf8 = nullptr;
  const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at)));
  if (length < 0) return {};
  const OpenSslBytes owned(utf8);
  return std::string(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(length));
}

// Checks that signature covers file: the image digest in its
// SpcIndirectDataContent is the file's, the signed attributes' message
// digest is that content's, and the signer's key signed those attributes.
// Trust in the signer's certificate chain is the run-time check's matter.
std::string coverageProblem(std::string_view file, const SignatureLayout& layout, PKCS7* signature, X509* signer) {
  PKCS7* contents = signature->d.sign->contents;
  if (OBJ_obj2nid(contents->type) == NID_pkcs7_data) return "its signature holds no Authenticode image digest";
  const ASN1_TYPE* other = contents->d.other;
  if (other == nullptr || other->type != V_ASN1_SEQUENCE) return "its signature holds no Authenticode image digest";
  const std::string_view indirect = viewOf(other->value.sequence);

  // SpcIndirectDataContent ::= SEQUENCE { data, messageDigest DigestInfo }
  const unsigned char* at = reinterpret_cast<const unsigned char*>(indirect.data());
  long length = 0;
  int tag = 0, objectClass = 0;
  if (ASN1_get_object(&at, &length, &tag, &objectClass, static_cast<long>(indirect.size())) & 0x80 ||
      tag != V_ASN1_SEQUENCE) {
    return "its Authenticode content cannot be read";
  }
  const unsigned char* const contentStart = at;
  const unsigned char* const contentEnd = at + length;
  const unsigned char* element = at;
  long elementLength = 0;
  if (ASN1_get_object(&element, &elementLength, &tag, &objectClass, contentEnd - at) & 0x80) {
    return "its Authenticode content cannot be read";
  }
  const unsigned char* digestInfoStart = element + elementLength;
  DigestInfo digestInfo(d2i_X509_SIG(nullptr, &digestInfoStart, contentEnd - (element + elementLength)));
  if (!digestInfo) return "its Authenticode image digest cannot be read";
  const X509_ALGOR* algorithm = nullptr;
  const ASN1_OCTET_STRING* claimed = nullptr;
  X509_SIG_get0(digestInfo.get(), &algorithm, &claimed);
  const EVP_MD* imageMd = EVP_get_digestbyobj(algorithm->algorithm);
  if (imageMd == nullptr) return "its image digest uses an algorithm this packer does not know";
  const auto image = digestOf(imageMd, digestedParts(file, layout));
  if (!image || *image != viewOf(claimed)) return "its signature does not match the file: it was changed after signing";

  PKCS7_SIGNER_INFO* info = sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(signature), 0);
  const EVP_MD* attributeMd = EVP_get_digestbyobj(info->digest_alg->algorithm);
  const ASN1_OCTET_STRING* messageDigest = info->auth_attr ? PKCS7_digest_from_attributes(info->auth_attr) : nullptr;
  if (attributeMd == nullptr || messageDigest == nullptr) return "its signer information cannot be read";
  const auto content = digestOf(
      attributeMd, {std::string_view(reinterpret_cast<const char*>(contentStart), static_cast<std::size_t>(contentEnd - contentStart))});
  if (!content || *content != viewOf(messageDigest)) return "its signed attributes do not match its content";

  unsigned char* der = nullptr;
  const int derLength =
      ASN1_item_i2d(reinterpret_cast<ASN1_VALUE*>(info->auth_attr), &der, ASN1_ITEM_rptr(PKCS7_ATTR_VERIFY));
  if (derLength <= 0) return "its signed attributes cannot be read";
  const OpenSslBytes ownedDer(der);
  DigestContext verify(EVP_MD_CTX_new());
  if (!verify || EVP_DigestVerifyInit(verify.get(), nullptr, attributeMd, nullptr, X509_get0_pubkey(signer)) != 1 ||
      EVP_DigestVerify(verify.get(), info->enc_digest->data, static_cast<std::size_t>(info->enc_digest->length), der,
                       static_cast<std::size_t>(derLength)) != 1) {
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
  const auto* der = reinterpret_cast<const unsigned char*>(signedData->data());
  const Pkcs7 signature(d2i_PKCS7(nullptr, &der, static_cast<long>(signedData->size())));
  if (!signature || !PKCS7_type_is_signed(signature.get()) || signature->d.sign->contents == nullptr) {
    found.problem = "its signature is not a PKCS#7 signed-data structure";
    return found;
  }
  found.present = true;
  const Signers signers(PKCS7_get0_signers(signature.get(), nullptr, 0));
  if (!signers || sk_X509_num(signers.get()) != 1) {
    found.problem = "its signature does not carry exactly one signer certificate";
    return found;
  }
  X509* signer = sk_X509_value(signers.get(), 0);
  found.signer = commonNameOf(signer);
  found.problem = coverageProblem(file, *layout, signature.get(), signer);
  found.coversFile = found.problem.empty();
  return found;
}

}  // namespace tenvik::packer

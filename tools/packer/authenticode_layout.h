#pragma once
// Where a PE image keeps its Authenticode signature, and which bytes its
// image digest covers: the same for every way of checking the signature.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tenvik::packer {

// Where the fields the Authenticode digest leaves out lie in file.
struct SignatureLayout {
  std::size_t checksum = 0;          // the optional header's CheckSum
  std::size_t certificateEntry = 0;  // the certificate table's data directory entry
  std::size_t tableOffset = 0;       // the table itself (a file offset)
  std::size_t tableSize = 0;
};

// The layout of file, a PE image (32- or 64-bit), or nothing with problem
// set to why it has no readable certificate table.
std::optional<SignatureLayout> layoutOf(std::string_view file, std::string& problem);

// The DER PKCS#7 signed data in the table's first entry, or nothing with
// problem set when that entry is no Authenticode signature. layout is
// layoutOf(file)'s.
std::optional<std::string_view> signedDataOf(std::string_view file, const SignatureLayout& layout,
                                             std::string& problem);

// The parts of file the image digest is taken over, in order: all but the
// checksum, the certificate table's directory entry and the table.
std::vector<std::string_view> digestedParts(std::string_view file, const SignatureLayout& layout);

// Splits SpcIndirectDataContent ::= SEQUENCE { data, messageDigest DigestInfo }
// (DER): its contents octets, which the signed attributes' message digest
// covers, and the DigestInfo ::= SEQUENCE { AlgorithmIdentifier, OCTET STRING }
// at its end, read as the algorithm's OID (its contents octets) and the
// digest. Nothing, with problem set, when either part cannot be read.
struct IndirectData {
  std::string_view contents;
  std::string_view algorithm;
  std::string_view digest;
};
std::optional<IndirectData> readIndirectData(std::string_view der, std::string& problem);

}  // namespace tenvik::packer

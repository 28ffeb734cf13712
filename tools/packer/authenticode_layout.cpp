#include "authenticode_layout.h"

#include "byte_order.h"

namespace tenvik::packer {
namespace {

constexpr std::uint16_t winCertRevision2 = 0x0200;
constexpr std::uint16_t winCertTypePkcsSignedData = 0x0002;

// One DER element at the front of der: its tag, its contents, and what follows.
struct Element {
  unsigned char tag = 0;
  std::string_view contents;
  std::string_view rest;
};

std::optional<Element> readElement(std::string_view der) {
  if (der.size() < 2) return std::nullopt;
  Element element;
  element.tag = static_cast<unsigned char>(der[0]);
  if ((element.tag & 0x1F) == 0x1F) return std::nullopt;  // high tag numbers: not in these structures
  std::size_t length = static_cast<unsigned char>(der[1]);
  std::size_t header = 2;
  if (length & 0x80) {
    const std::size_t octets = length & 0x7F;
    if (octets == 0 || octets > 4 || der.size() < 2 + octets) return std::nullopt;
    length = 0;
    for (std::size_t i = 0; i < octets; ++i) length = length << 8 | static_cast<unsigned char>(der[2 + i]);
    header += octets;
  }
  if (der.size() - header < length) return std::nullopt;
  element.contents = der.substr(header, length);
  element.rest = der.substr(header + length);
  return element;
}

}  // namespace

std::optional<SignatureLayout> layoutOf(std::string_view file, std::string& problem) {
  if (file.size() < 0x40 || file.substr(0, 2) != "MZ") {
    problem = "it is not a Windows program";
    return std::nullopt;
  }
  const std::size_t pe = read32(file, 0x3C);
  if (pe > file.size() || file.size() - pe < 24 + 2 || file.substr(pe, 4) != std::string_view("PE\0\0", 4)) {
    problem = "it is not a Windows program";
    return std::nullopt;
  }
  const std::size_t optional = pe + 24;
  const std::uint16_t magic = read16(file, optional);
  const std::size_t directories = optional + (magic == 0x20B ? 112 : 96);
  const std::size_t count = directories - 4;  // NumberOfRvaAndSizes
  if ((magic != 0x10B && magic != 0x20B) || directories + 5 * 8 > file.size() || read32(file, count) < 5) {
    problem = "its headers cannot be read";
    return std::nullopt;
  }
  SignatureLayout layout;
  layout.checksum = optional + 64;
  layout.certificateEntry = directories + 4 * 8;
  layout.tableOffset = read32(file, layout.certificateEntry);
  layout.tableSize = read32(file, layout.certificateEntry + 4);
  if (layout.tableSize == 0) {
    problem = "it carries no signature";
    return std::nullopt;
  }
  if (layout.tableOffset < layout.certificateEntry + 8 || layout.tableOffset > file.size() ||
      file.size() - layout.tableOffset < layout.tableSize) {
    problem = "its certificate table lies outside the file";
    return std::nullopt;
  }
  return layout;
}

std::optional<std::string_view> signedDataOf(std::string_view file, const SignatureLayout& layout,
                                             std::string& problem) {
  const std::string_view table = file.substr(layout.tableOffset, layout.tableSize);
  if (table.size() < 8 || read32(table, 0) < 8 || read32(table, 0) > table.size() ||
      read16(table, 4) != winCertRevision2 || read16(table, 6) != winCertTypePkcsSignedData) {
    problem = "its certificate table holds no Authenticode signature";
    return std::nullopt;
  }
  return table.substr(8, read32(table, 0) - 8);
}

std::vector<std::string_view> digestedParts(std::string_view file, const SignatureLayout& layout) {
  return {file.substr(0, layout.checksum),
          file.substr(layout.checksum + 4, layout.certificateEntry - layout.checksum - 4),
          file.substr(layout.certificateEntry + 8, layout.tableOffset - layout.certificateEntry - 8)};
}

std::optional<IndirectData> readIndirectData(std::string_view der, std::string& problem) {
  const auto content = readElement(der);
  const auto data = content && content->tag == 0x30 ? readElement(content->contents) : std::nullopt;
  if (!data) {
    problem = "its Authenticode content cannot be read";
    return std::nullopt;
  }
  problem = "its Authenticode image digest cannot be read";
  const auto digestInfo = readElement(data->rest);
  if (!digestInfo || digestInfo->tag != 0x30) return std::nullopt;
  const auto algorithm = readElement(digestInfo->contents);
  if (!algorithm || algorithm->tag != 0x30) return std::nullopt;
  const auto oid = readElement(algorithm->contents);
  const auto digest = readElement(algorithm->rest);
  if (!oid || oid->tag != 0x06 || !digest || digest->tag != 0x04) return std::nullopt;
  problem.clear();
  return IndirectData{content->contents, oid->contents, digest->contents};
}

}  // namespace tenvik::packer

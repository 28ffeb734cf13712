#pragma once
// Inputs for the packer's tests, assembled by hand from the formats'
// layouts: a minimal PE32 image for i386 with a resource section followed by
// base relocations, version records, payload resources and icon files.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tenvik::packer::test {

inline std::string le16(std::uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
inline std::string le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
inline std::uint32_t get32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8 |
                                    static_cast<unsigned char>(b[at + 2]) << 16) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

constexpr std::uint32_t testFileAlignment = 0x200;
constexpr std::uint32_t testSectionAlignment = 0x1000;
constexpr std::uint32_t testPeOffset = 0x80;
constexpr std::uint32_t testOptionalHeader = testPeOffset + 24;
constexpr std::uint32_t testSectionTable = testOptionalHeader + 0xE0;
constexpr std::uint32_t testRsrcRva = 0x2000;

inline std::string padTo(std::string bytes, std::size_t alignment) {
  bytes.resize((bytes.size() + alignment - 1) / alignment * alignment, '\0');
  return bytes;
}

inline std::string sectionHeader(const std::string& name, std::uint32_t virtualSize, std::uint32_t rva,
                                 std::uint32_t rawSize, std::uint32_t rawOffset, std::uint32_t flags) {
  std::string header = name;
  header.resize(8, '\0');
  header += le32(virtualSize) + le32(rva) + le32(rawSize) + le32(rawOffset) + std::string(12, '\0') + le32(flags);
  return header;
}

// .text (one ret), .rsrc holding rsrc (laid out for testRsrcRva), .reloc
// holding reloc; certificate, when given, appended as a signing tool does.
inline std::string minimalPe(const std::string& rsrc, const std::string& reloc, const std::string& certificate = "") {
  const auto align = [](std::uint32_t v, std::uint32_t a) { return (v + a - 1) / a * a; };
  const std::uint32_t rsrcRaw = align(static_cast<std::uint32_t>(rsrc.size()), testFileAlignment);
  const std::uint32_t relocRva = testRsrcRva + align(static_cast<std::uint32_t>(rsrc.size()), testSectionAlignment);
  const std::uint32_t relocRaw = align(static_cast<std::uint32_t>(reloc.size()), testFileAlignment);
  const std::uint32_t imageSize = relocRva + align(static_cast<std::uint32_t>(reloc.size()), testSectionAlignment);

  std::string file = "MZ" + std::string(58, '\0') + le32(testPeOffset);
  file.resize(testPeOffset, '\0');
  file += std::string("PE\0\0", 4) + le16(0x14C) + le16(3) + le32(0) + le32(0) + le32(0) + le16(0xE0) + le16(0x102);
  std::string optional = le16(0x10B) + std::string(2, '\0') + le32(0x200) + le32(rsrcRaw + relocRaw) + le32(0) +
                         le32(0x1000) + le32(0x1000) + le32(0x2000) + le32(0x400000) + le32(testSectionAlignment) +
                         le32(testFileAlignment) + le16(4) + le16(0) + le16(0) + le16(0) + le16(4) + le16(0) +
                         le32(0) + le32(imageSize) + le32(0x400) + le32(0) + le16(2) + le16(0x140) +
                         le32(0x100000) + le32(0x1000) + le32(0x100000) + le32(0x1000) + le32(0) + le32(16);
  std::string directories(16 * 8, '\0');
  directories.replace(2 * 8, 8, le32(testRsrcRva) + le32(static_cast<std::uint32_t>(rsrc.size())));
  directories.replace(5 * 8, 8, le32(relocRva) + le32(static_cast<std::uint32_t>(reloc.size())));
  file += optional + directories;
  file += sectionHeader(".text", 1, 0x1000, 0x200, 0x400, 0x60000020);
  file += sectionHeader(".rsrc", static_cast<std::uint32_t>(rsrc.size()), testRsrcRva, rsrcRaw, 0x600, 0xC0000040);
  file += sectionHeader(".reloc", static_cast<std::uint32_t>(reloc.size()), relocRva, relocRaw, 0x600 + rsrcRaw,
                        0x42000040);
  file.resize(0x400, '\0');
  file += padTo("\xC3", testFileAlignment);
  file += padTo(rsrc, testFileAlignment);
  file += padTo(reloc, testFileAlignment);
  if (!certificate.empty()) {
    file = padTo(file, 8);
    const std::string table = le32(static_cast<std::uint32_t>(8 + certificate.size())) + le16(0x200) + le16(2) +
                              certificate;
    const std::size_t at = testOptionalHeader + 96 + 4 * 8;
    file.replace(at, 8, le32(static_cast<std::uint32_t>(file.size())) + le32(static_cast<std::uint32_t>(table.size())));
    file += table;
  }
  return file;
}

// One version-record block: length, value length, type, key, value, children.
inline std::string versionBlock(const std::u16string& key, std::uint16_t type, const std::string& value,
                                std::uint16_t valueLength, const std::vector<std::string>& children = {}) {
  std::string block(6, '\0');
  for (const char16_t c : key) block += le16(c);
  block += le16(0);
  block = padTo(block, 4) + value;
  for (const std::string& child : children) block = padTo(block, 4) + child;
  block.replace(0, 6, le16(static_cast<std::uint16_t>(block.size())) + le16(valueLength) + le16(type));
  return block;
}

inline std::string versionString(const std::u16string& key, const std::u16string& text) {
  std::string value;
  for (const char16_t c : text) value += le16(c);
  value += le16(0);
  return versionBlock(key, 1, value, static_cast<std::uint16_t>(text.size() + 1));
}

// A record as the resource compiler writes one, version 1.0.0.0.
inline std::string sampleVersionRecord() {
  std::string fixed = le32(0xFEEF04BD) + le32(0x10000) + le32(0x10000) + le32(0) + le32(0x10000) + le32(0) +
                      le32(0x3F) + le32(0) + le32(0x40004) + le32(1) + le32(0) + le32(0) + le32(0);
  const std::string table = versionBlock(u"040904b0", 1, "", 0,
                                         {versionString(u"CompanyName", u"Tenvik"),
                                          versionString(u"FileDescription", u"Tenvik Setup"),
                                          versionString(u"FileVersion", u"1.0.0"),
                                          versionString(u"ProductName", u"Tenvik Setup")});
  const std::string strings = versionBlock(u"StringFileInfo", 1, "", 0, {table});
  const std::string translation = versionBlock(u"Translation", 0, le16(0x409) + le16(1200), 4);
  const std::string vars = versionBlock(u"VarFileInfo", 1, "", 0, {translation});
  return versionBlock(u"VS_VERSION_INFO", 0, fixed, 52, {strings, vars});
}

// A gzip member of data, made with zlib directly.
inline std::string gzipOf(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, data.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

inline std::string archiveOf(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string archive;
  for (const auto& [name, data] : entries) {
    archive += le32(static_cast<std::uint32_t>(name.size())) + name;
    archive += le32(static_cast<std::uint32_t>(data.size())) + data;
  }
  return archive;
}

// A payload resource (information header on) holding payload, with any
// header the layout allows.
inline std::string resourceOf(const std::string& payload) {
  std::string resource = le32(40) + le32(3) + le32(1) + le16(1) + le16(32) + std::string(24, '\0');
  return resource + le32(static_cast<std::uint32_t>(payload.size())) + payload + std::string(5, '\0');
}

// The .bmp file of a resource: its 14-byte file header in front.
inline std::string bitmapFileOf(const std::string& resource) {
  return "BM" + le32(static_cast<std::uint32_t>(14 + resource.size())) + le32(0) + le32(54) + resource;
}

}  // namespace tenvik::packer::test

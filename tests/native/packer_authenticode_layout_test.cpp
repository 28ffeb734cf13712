// Where a PE image keeps its Authenticode signature and which bytes its
// image digest covers, and the SpcIndirectDataContent walk: shared by the
// OpenSSL and the crypt32 signature readers.

#include <gtest/gtest.h>

#include "authenticode_layout.h"
#include "byte_order.h"

namespace tenvik::packer {
namespace {

constexpr std::size_t peAt = 0x80;

// A header-only image of size bytes: magic 0x10B or 0x20B, the certificate
// table's directory entry set to offset and length.
std::string imageWith(std::uint16_t magic, std::uint32_t offset, std::uint32_t length, std::size_t size = 0x400) {
  std::string image(size, '\0');
  image.replace(0, 2, "MZ");
  auto put32 = [&](std::size_t at, std::uint32_t value) {
    std::string field;
    append32(field, value);
    image.replace(at, 4, field);
  };
  put32(0x3C, peAt);
  image.replace(peAt, 4, std::string("PE\0\0", 4));
  image[peAt + 24] = static_cast<char>(magic & 0xFF);
  image[peAt + 25] = static_cast<char>(magic >> 8);
  const std::size_t directories = peAt + 24 + (magic == 0x20B ? 112 : 96);
  put32(directories - 4, 16);
  put32(directories + 32, offset);
  put32(directories + 36, length);
  return image;
}

TEST(AuthenticodeLayout, TheDigestLeavesOutTheChecksumTheTableEntryAndTheTable) {
  for (const std::uint16_t magic : {0x10B, 0x20B}) {
    const std::string image = imageWith(magic, 0x300, 0x100);
    std::string problem;
    const auto layout = layoutOf(image, problem);
    ASSERT_TRUE(layout) << magic << ": " << problem;
    EXPECT_EQ(layout->checksum, peAt + 24 + 64);
    EXPECT_EQ(layout->certificateEntry, peAt + 24 + (magic == 0x20B ? 112 : 96) + 32);
    const auto parts = digestedParts(image, *layout);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].size(), layout->checksum);
    EXPECT_EQ(parts[1].data(), image.data() + layout->checksum + 4);
    EXPECT_EQ(parts[2].data(), image.data() + layout->certificateEntry + 8);
    EXPECT_EQ(parts[2].data() + parts[2].size(), image.data() + 0x300);
  }
}

TEST(AuthenticodeLayout, ImagesWithoutAReadableTableSayWhy) {
  std::string noPe = imageWith(0x10B, 0x300, 0x100);
  noPe[peAt] = 'X';
  const struct {
    const char* what;
    std::string image;
    const char* problem;
  } cases[] = {
      {"not MZ", "ZM" + std::string(0x100, '\0'), "it is not a Windows program"},
      {"too short", "MZ", "it is not a Windows program"},
      {"no PE signature", noPe, "it is not a Windows program"},
      {"another magic", imageWith(0x107, 0x300, 0x100), "its headers cannot be read"},
      {"no table", imageWith(0x20B, 0, 0), "it carries no signature"},
      {"past the end", imageWith(0x20B, 0x300, 0x101), "its certificate table lies outside the file"},
      {"over the headers", imageWith(0x20B, 0x10, 0x10), "its certificate table lies outside the file"},
  };
  for (const auto& c : cases) {
    std::string problem;
    EXPECT_FALSE(layoutOf(c.image, problem)) << c.what;
    EXPECT_EQ(problem, c.problem) << c.what;
  }
}

TEST(AuthenticodeLayout, OnlyARevision2SignedDataEntryIsASignature) {
  const struct {
    const char* what;
    std::uint32_t length;
    std::uint16_t revision, type;
    bool found;
  } cases[] = {
      {"PKCS#7 signed data", 0x20, 0x0200, 0x0002, true},
      {"an X.509 certificate", 0x20, 0x0200, 0x0001, false},
      {"revision 1", 0x20, 0x0100, 0x0002, false},
      {"longer than the table", 0x101, 0x0200, 0x0002, false},
      {"shorter than its header", 4, 0x0200, 0x0002, false},
  };
  for (const auto& c : cases) {
    std::string image = imageWith(0x20B, 0x300, 0x100);
    std::string entry;
    append32(entry, c.length);
    append16(entry, c.revision);
    append16(entry, c.type);
    image.replace(0x300, entry.size(), entry);
    std::string problem;
    const auto layout = layoutOf(image, problem);
    ASSERT_TRUE(layout) << c.what;
    const auto data = signedDataOf(image, *layout, problem);
    EXPECT_EQ(data.has_value(), c.found) << c.what;
    if (data) {
      EXPECT_EQ(data->data(), image.data() + 0x308);
      EXPECT_EQ(data->size(), c.length - 8);
    }
  }
}

TEST(AuthenticodeLayout, TheIndirectDataYieldsItsContentsAndItsDigestInfo) {
  const std::string sha256("\x06\x09\x60\x86\x48\x01\x65\x03\x04\x02\x01", 11);
  const std::string data("\x30\x03\x06\x01\x2A", 5);  // SpcAttributeTypeAndOptionalValue, cut short
  const std::string digest("\x04\x04" "abcd", 6);
  const std::string digestInfo = "\x30\x15" "\x30\x0D" + sha256 + std::string("\x05\x00", 2) + digest;
  const std::string contents = data + digestInfo;
  const std::string indirect = "\x30" + std::string(1, static_cast<char>(contents.size())) + contents;

  std::string problem;
  const auto read = readIndirectData(indirect, problem);
  ASSERT_TRUE(read) << problem;
  EXPECT_EQ(read->contents, contents);
  EXPECT_EQ(read->algorithm, sha256.substr(2));
  EXPECT_EQ(read->digest, "abcd");

  // Long-form lengths read as the short ones do.
  const std::string longForm = "\x30\x81" + std::string(1, static_cast<char>(contents.size())) + contents;
  ASSERT_TRUE(readIndirectData(longForm, problem)) << problem;

  const struct {
    const char* what;
    std::string der;
    const char* problem;
  } cases[] = {
      {"empty", "", "its Authenticode content cannot be read"},
      {"not a sequence", "\x31" + indirect.substr(1), "its Authenticode content cannot be read"},
      {"cut short", indirect.substr(0, indirect.size() - 1), "its Authenticode content cannot be read"},
      {"no digest info", "\x30\x05" + data, "its Authenticode image digest cannot be read"},
      {"no digest", "\x30\x16" + data + "\x30\x0F\x30\x0D" + sha256 + std::string("\x05\x00", 2),
       "its Authenticode image digest cannot be read"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(readIndirectData(c.der, problem)) << c.what;
    EXPECT_EQ(problem, c.problem) << c.what;
  }
}

}  // namespace
}  // namespace tenvik::packer

#include "bitmap_container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tenvik::packer {
namespace {

TEST(ContainerSide, IsTheSmallestSquareThatHoldsLengthAndPayload) {
  const std::pair<std::uint64_t, std::uint32_t> cases[] = {
      {0, 1},            // the length field alone fills one pixel
      {1, 2},
      {12, 2},           // 16 bytes: exactly four pixels
      {13, 3},
      {20921472, 2287},  // 2287 * 2287 * 4 bytes, length field included
      {20921473, 2288},
      {20926490, 2288},  // the release payload
      {4294705152ull, 32767},
  };
  for (const auto& [payload, side] : cases) {
    EXPECT_EQ(containerSide(payload), side) << "payload " << payload;
  }
}

TEST(ContainerSide, RefusesWhatTheBitmapSizeFieldsCannotHold) {
  EXPECT_FALSE(containerSide(4294705153ull));  // would need side 32768
  EXPECT_FALSE(containerSide(0xFFFFFFFFull));
  EXPECT_FALSE(containerSide(0x100000000ull));
}

std::string le16(std::uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }

// The bitmap file as the format describes it, assembled independently of the
// packer's own writer.
std::string handBuiltBitmap(const std::string& payload, std::uint32_t side) {
  const std::uint32_t image = side * side * 4;
  std::string file = "BM" + le32(54 + image) + le16(0) + le16(0) + le32(54);
  file += le32(40) + le32(side) + le32(side) + le16(1) + le16(32) + le32(0) + le32(image) +
          le32(96) + le32(96) + le32(0) + le32(0);
  file += le32(static_cast<std::uint32_t>(payload.size())) + payload;
  file += std::string(54 + image - file.size(), '\0');
  return file;
}

TEST(BitmapFile, MatchesTheFormatByteForByte) {
  for (const size_t size : {0u, 1u, 12u, 13u, 1000u, 65536u}) {
    std::string payload(size, '\0');
    for (size_t i = 0; i < size; ++i) payload[i] = static_cast<char>(i * 7 + 1);
    const std::string file = bitmapFile(payload);
    EXPECT_EQ(file, handBuiltBitmap(payload, *containerSide(size))) << "payload " << size;
  }
}

}  // namespace
}  // namespace tenvik::packer

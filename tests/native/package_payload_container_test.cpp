#include "package/payload_container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tenvik {
namespace {

// A resource as the resource compiler leaves it: 40-byte information header,
// then the pixel area. The header bytes are deliberately nonsense, since
// nothing but their count may matter.
std::string resource(std::uint32_t declaredLength, const std::string& payload, size_t fill) {
  std::string bytes(40, '\xAB');
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((declaredLength >> (8 * i)) & 0xFF);
  return bytes + payload + std::string(fill, '\0');
}

TEST(DecodePayload, TakesExactlyTheDeclaredBytes) {
  const std::string payload("\x1f\x8b\x08" "payload\0bytes", 16);
  for (const size_t fill : {0u, 1u, 3u, 5000u}) {
    const std::string bytes = resource(16, payload, fill);
    const auto got = decodePayload(bytes);
    ASSERT_TRUE(got) << "fill " << fill;
    EXPECT_EQ(*got, payload) << "fill " << fill;
  }
}

TEST(DecodePayload, ZeroLengthGivesAnEmptyPayload) {
  const std::string bytes = resource(0, "", 100);
  const auto got = decodePayload(bytes);
  ASSERT_TRUE(got);
  EXPECT_TRUE(got->empty());
}

TEST(DecodePayload, RefusesLengthsPastTheEndAndShortResources) {
  EXPECT_FALSE(decodePayload(resource(19, std::string(18, 'p'), 0)));
  EXPECT_FALSE(decodePayload(resource(0xFFFFFFFF, "abc", 0)));
  EXPECT_FALSE(decodePayload(resource(0x80000000, "abc", 0)));
  EXPECT_FALSE(decodePayload(std::string(43, '\0')));
  EXPECT_FALSE(decodePayload(std::string()));
  EXPECT_TRUE(decodePayload(std::string(44, '\0')));
}

}  // namespace
}  // namespace tenvik

#pragma once
// The payload bitmap: a square 32-bit bitmap whose pixel area starts with the
// payload length (little-endian) followed by the payload and zero fill. As a
// file it has the 14-byte file header in front; the resource compiler strips
// that header when it embeds the file, so the resource starts at the 40-byte
// information header.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tenvik::packer {

constexpr std::uint32_t bitmapFileHeaderSize = 14;
constexpr std::uint32_t bitmapInfoHeaderSize = 40;

// The smallest side whose pixel area (side * side * 4 bytes) holds the 4-byte
// length and payloadSize bytes; nothing when the bitmap file would not fit
// the format's 32-bit size fields.
std::optional<std::uint32_t> containerSide(std::uint64_t payloadSize);

// The whole .bmp file. Throws PackError when containerSide has no answer.
std::string bitmapFile(std::string_view payload);

}  // namespace tenvik::packer

#include "bitmap_container.h"

#include <cmath>
#include <limits>

#include "pack_error.h"

namespace tenvik::packer {
namespace {

constexpr std::uint64_t bytesPerPixel = 4;
constexpr std::uint64_t lengthFieldSize = 4;

void put16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void put32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t fileSizeFor(std::uint64_t side) {
  return bitmapFileHeaderSize + bitmapInfoHeaderSize + side * side * bytesPerPixel;
}

}  // namespace

std::optional<std::uint32_t> containerSide(std::uint64_t payloadSize) {
  constexpr std::uint64_t limit = std::numeric_limits<std::uint32_t>::max();
  if (payloadSize > limit) return std::nullopt;
  const std::uint64_t pixels = (payloadSize + lengthFieldSize + bytesPerPixel - 1) / bytesPerPixel;
  // The floating-point root is only a first guess; the loops settle it
  // exactly in integers.
  auto side = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(pixels)));
  while (side > 0 && (side - 1) * (side - 1) >= pixels) --side;
  while (side * side < pixels) ++side;
  if (fileSizeFor(side) > limit) return std::nullopt;
  return static_cast<std::uint32_t>(side);
}

std::string bitmapFile(std::string_view payload) {
  const auto side = containerSide(payload.size());
  if (!side) throw PackError("the payload is too large for a bitmap container");
  const auto imageSize = static_cast<std::uint32_t>(std::uint64_t{*side} * *side * bytesPerPixel);
  const std::uint32_t pixelOffset = bitmapFileHeaderSize + bitmapInfoHeaderSize;

  std::string out;
  out.reserve(pixelOffset + static_cast<std::size_t>(imageSize));
  out += "BM";
  put32(out, pixelOffset + imageSize);
  put16(out, 0);
  put16(out, 0);
  put32(out, pixelOffset);

  put32(out, bitmapInfoHeaderSize);
  put32(out, *side);  // width
  put32(out, *side);  // height, positive: bottom-up rows
  put16(out, 1);      // planes
  put16(out, 32);     // bits per pixel
  put32(out, 0);      // no compression, so no colour table either
  put32(out, imageSize);
  put32(out, 96);  // resolution, pixels per metre
  put32(out, 96);
  put32(out, 0);  // colours used
  put32(out, 0);  // important colours

  put32(out, static_cast<std::uint32_t>(payload.size()));
  out.append(payload.data(), payload.size());
  out.resize(pixelOffset + static_cast<std::size_t>(imageSize), '\0');
  return out;
}

}  // namespace tenvik::packer

#pragma once
// Little-endian fields in byte strings, as PE images, resources, icon files
// and bitmaps store them. Readers take an offset the caller has checked to
// leave room for the field. Writers check it themselves and throw
// std::out_of_range for a field that would not lie wholly inside bytes: an
// offset read from a crafted file must never write past the buffer.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tenvik::packer {

inline std::uint16_t read16(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                    static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

inline std::uint32_t read32(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(read16(bytes, offset)) |
         static_cast<std::uint32_t>(read16(bytes, offset + 2)) << 16;
}

inline void append16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

inline void append32(std::string& out, std::uint32_t value) {
  append16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  append16(out, static_cast<std::uint16_t>(value >> 16));
}

// True when [offset, offset + size) lies inside a span of length total.
inline bool fits(std::uint64_t offset, std::uint64_t size, std::uint64_t total) {
  return offset <= total && size <= total - offset;
}

inline void write16(std::string& bytes, std::size_t offset, std::uint16_t value) {
  if (!fits(offset, 2, bytes.size())) throw std::out_of_range("a 16-bit field beyond the end of its bytes");
  bytes[offset] = static_cast<char>(value & 0xFF);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}

inline void write32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  if (!fits(offset, 4, bytes.size())) throw std::out_of_range("a 32-bit field beyond the end of its bytes");
  write16(bytes, offset, static_cast<std::uint16_t>(value & 0xFFFF));
  write16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

inline std::uint32_t alignUp(std::uint32_t value, std::uint32_t alignment) {
  return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

}  // namespace tenvik::packer

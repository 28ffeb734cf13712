#pragma once
// The payload travels as a bitmap resource: a 40-byte bitmap information
// header, then the pixel area, whose first four bytes hold the payload length
// N (unsigned, little-endian) and whose next N bytes are the payload, one
// gzip member. The rest of the pixel area is zero fill and is never read.
// Nothing in the header matters but its fixed size.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tenvik {

constexpr std::size_t payloadLengthOffset = 40;
constexpr std::size_t payloadOffset = 44;

// The payload inside resource, a view into the same bytes. Nothing when the
// resource is too short to hold the length field, or when the length field
// points past the end of the resource.
std::optional<std::string_view> decodePayload(std::string_view resource);

}  // namespace tenvik

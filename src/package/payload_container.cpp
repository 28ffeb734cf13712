#include "package/payload_container.h"

namespace tenvik {

std::optional<std::string_view> decodePayload(std::string_view resource) {
  if (resource.size() < payloadOffset) return std::nullopt;
  const auto* field = reinterpret_cast<const unsigned char*>(resource.data() + payloadLengthOffset);
  const std::uint32_t length = static_cast<std::uint32_t>(field[0]) |
                               static_cast<std::uint32_t>(field[1]) << 8 |
                               static_cast<std::uint32_t>(field[2]) << 16 |
                               static_cast<std::uint32_t>(field[3]) << 24;
  if (length > resource.size() - payloadOffset) return std::nullopt;
  return resource.substr(payloadOffset, length);
}

}  // namespace tenvik

// The payload bitmap as the resource holds it. Checked: a payload is
// returned exactly when the resource holds the whole length field and the
// length it names fits behind it, and it is then a view of exactly that
// many bytes at the fixed offset, inside the resource.

#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "package/payload_container.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view resource = tenvik::fuzz::bytesOf(data, size);
  const auto payload = tenvik::decodePayload(resource);

  if (size < tenvik::payloadOffset) {
    FUZZ_REQUIRE(!payload);
    return 0;
  }
  std::uint64_t declared = 0;
  for (int i = 3; i >= 0; --i) declared = declared << 8 | data[tenvik::payloadLengthOffset + i];
  const bool fits = tenvik::payloadOffset + declared <= size;
  FUZZ_REQUIRE(payload.has_value() == fits);
  if (!payload) return 0;
  FUZZ_REQUIRE(payload->data() == resource.data() + tenvik::payloadOffset);
  FUZZ_REQUIRE(payload->size() == declared);
  FUZZ_REQUIRE(payload->data() + payload->size() <= resource.data() + resource.size());
  return 0;
}

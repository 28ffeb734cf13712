// libFuzzer entry for the two decoders that take bytes from outside: the
// package archive reader and the payload container. The first input byte
// picks the decoder so one corpus covers both.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "package/entry_name.h"
#include "package/package_archive.h"
#include "package/payload_container.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void fuzzArchive(std::string_view bytes) {
  std::istringstream in{std::string(bytes)};
  std::size_t stored = 0;
  std::size_t storedBytes = 0;
  const auto first = tenvik::extractEntries(in, [&](const tenvik::PackageEntry& entry) {
    require(tenvik::isSafeEntryName(entry.name));
    require(entry.name.find('/') == std::string::npos);
    ++stored;
    storedBytes += entry.name.size() + entry.data.size() + 8;
  });
  // Nothing can come out that did not go in.
  require(storedBytes <= bytes.size());
  if (first) require(stored > 0 && tenvik::isSafeEntryName(*first));
}

void fuzzContainer(std::string_view bytes) {
  const auto payload = tenvik::decodePayload(bytes);
  if (!payload) return;
  require(payload->data() == bytes.data() + tenvik::payloadOffset);
  require(payload->size() <= bytes.size() - tenvik::payloadOffset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    fuzzContainer(bytes);
  } else {
    fuzzArchive(bytes);
  }
  return 0;
}

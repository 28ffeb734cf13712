// Stubs for the packer's stamping path, as a release engineer could hand
// any file to `tenvik-pack pack --stub`. Input: the first byte chooses what
// the stamp also changes (bit 0: the version details, bit 1: a settings
// resource), the rest is the stub's bytes. Checked: stamping either refuses
// the stub with the packer's own error or returns an image that the packer
// reads back with the new payload in it; nothing else escapes, and no
// sanitizer finding is made on the way (a header field written past the
// output was the fault this target was written for).

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "pack_error.h"
#include "setup_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned char choice = data[0];
  const std::string stub(tenvik::fuzz::bytesOf(data + 1, size - 1));
  const std::string payload(40 + 4 + 3, 'p');
  tenvik::packer::StampOptions options;
  if (choice & 1) {
    options.version.productName = "Fuzz Setup";
    options.version.fileVersion = tenvik::packer::VersionNumber{1, 2, 3, 4};
  }
  if (choice & 2) options.dataResources[103] = "runtime=desktop+base:6\n";

  tenvik::packer::StampResult stamped;
  try {
    stamped = tenvik::packer::stampSetup(stub, payload, options);
  } catch (const tenvik::packer::PackError&) {
    return 0;
  }
  const tenvik::packer::SetupContents back = tenvik::packer::readSetupImage(stamped.bytes);
  FUZZ_REQUIRE(back.payloadResource == payload);
  if (choice & 2) FUZZ_REQUIRE(back.dataResources.at(103) == options.dataResources[103]);
  return 0;
}

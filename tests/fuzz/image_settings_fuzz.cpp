// The image's settings resource as the program reads it. The input is the
// resource's bytes. Checked: what reads, written back, reads again to the
// same text (nothing lost or invented); a text that reads keeps reading when
// blank lines are added; and what is written names every key, so writing it
// twice over repeats each one and never reads.

#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "settings/image_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(tenvik::fuzz::bytesOf(data, size));
  const std::optional<tenvik::ImageSettings> settings = tenvik::parseImageSettings(text);
  if (!settings) return 0;
  const std::string written = tenvik::formatImageSettings(*settings);
  const std::optional<tenvik::ImageSettings> again = tenvik::parseImageSettings(written);
  FUZZ_REQUIRE(again.has_value());
  FUZZ_REQUIRE(tenvik::formatImageSettings(*again) == written);
  FUZZ_REQUIRE(tenvik::parseImageSettings(text + "\n\n").has_value());
  // Every key is written: a second copy of the whole text repeats each one.
  FUZZ_REQUIRE(!tenvik::parseImageSettings(written + written).has_value());
  return 0;
}

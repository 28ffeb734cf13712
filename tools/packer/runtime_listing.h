#pragma once
// What list shows of an image's runtime: the rule of its settings resource
// and the vendor installers bundled in it.

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "json_writer.h"
#include "settings/image_settings.h"

namespace tenvik::packer {

struct BundledInstaller {
  RuntimeFramework framework = RuntimeFramework::desktop;
  bool x64 = true;
  std::optional<std::string> version;  // from its version record, when readable
  std::uint64_t size = 0;
};

struct RuntimeListing {
  std::optional<ImageSettings> settings;  // nothing when resource 103 cannot be read
  std::vector<BundledInstaller> bundled;  // in resource order: desktop x64, desktop x86, base x64, base x86
};

// The listing of an image's RT_RCDATA resources (by id); an image without
// resource 103 has the default settings.
RuntimeListing runtimeListing(const std::map<std::uint32_t, std::string>& dataResources);

// "runtime: desktop:10.0.0 (...)", one line per bundled installer, and
// when the settings can be read "progress window: on|off" and a line for
// each other setting ("download: vendor", "product word: Tenvik", ...).
void printRuntimeText(const RuntimeListing& listing, std::ostream& out);

// The value of "runtime": {"rule", "framework", "major", "lowest",
// "fallback", "bundled": [{"framework", "arch", "version", "size"}]}, or
// null when the settings cannot be read.
void writeRuntimeJson(const RuntimeListing& listing, JsonWriter& json);

// The settings after "runtime", each null when the settings resource cannot
// be read: "progressWindow" (true/false), "download" ("vendor" or the base),
// "product", "installerSigner" ("" when unchecked), "installerWait",
// "downloadLimit", "runWait" (seconds), "installerBusyPause" (milliseconds).
void writeSettingsJson(const RuntimeListing& listing, JsonWriter& json);

}  // namespace tenvik::packer

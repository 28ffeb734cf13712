#pragma once
// A Setup.exe as a whole: the payload and version record read out of it,
// and a copy stamped with a new payload (and optionally a new icon and
// version details), every other resource kept.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "icon_file.h"
#include "version_record.h"

namespace tenvik::packer {

struct SetupContents {
  std::string payloadResource;  // bitmap 102, from its information header on
  std::optional<VersionSummary> version;
  std::map<std::uint32_t, std::string> dataResources;  // RT_RCDATA by id: settings, bundled installers
};

// Reads exe (a file's bytes). Throws PackError with exitNotPe when exe is
// not a 32-bit x86 PE image or its resources are damaged, exitNoPayload
// when it has no bitmap resource 102.
SetupContents readSetupImage(std::string exe);

struct StampOptions {
  std::optional<std::vector<IconImage>> icons;  // replace the icon group
  VersionChanges version;
  std::map<std::uint32_t, std::string> dataResources;  // RT_RCDATA by id, added or replaced
};

struct StampResult {
  std::string bytes;
  bool certificateRemoved = false;  // the stub was signed; the result is not
};

// stub with bitmap resource 102 replaced by (or, when it has none, added
// as) payloadResource, the icon group and version record changed as asked.
// Throws PackError (exitNotPe) when stub is not a PE image this can rewrite,
// and PackError (exitFailure) when a change cannot be made, e.g. version
// details for a stub without a version record.
StampResult stampSetup(std::string stub, std::string_view payloadResource, const StampOptions& options);

// The RT_RCDATA resources of image (a file's bytes), by id, first language
// each; throws like readSetupImage, but a payload is not needed.
std::map<std::uint32_t, std::string> readDataResources(std::string image);

// The version record of image, a 32-bit PE file; nothing when it has none
// or it cannot be read. Throws PackError (exitNotPe) like readSetupImage.
std::optional<VersionSummary> readProgramVersion(std::string image);

}  // namespace tenvik::packer

#pragma once
// Runtime installers that travel inside the image (RT_RCDATA 201 to 204, see
// launcher/image_settings.h), so that a machine without a network can be
// served.

#include <optional>
#include <string_view>

#include "runtime/runtime_rule.h"

namespace tenvik {

// The installer the image carries for framework on x64 or x86 Windows, as it
// lies in the mapped image (valid for the life of the process, never to be
// freed), or nothing when the image carries none for them.
std::optional<std::string_view> bundledInstaller(RuntimeFramework framework, bool x64);

}  // namespace tenvik

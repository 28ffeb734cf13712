#pragma once
// The image's settings resource (RT_RCDATA 103, settings/image_settings.h),
// read from the running program.

#include <optional>

#include "settings/image_settings.h"

namespace tenvik {

// The settings the image carries: the defaults when it has no settings
// resource, nothing when the resource is there but malformed (then the
// program must not run on guessed settings).
std::optional<ImageSettings> readImageSettings();

}  // namespace tenvik

#include "settings/settings_resource.h"

#include <windows.h>

#include "system/image_resource.h"

namespace tenvik {

std::optional<ImageSettings> readImageSettings() {
  const std::optional<std::string_view> text = imageResource(RT_RCDATA, kSettingsResourceId);
  if (!text) return ImageSettings();
  return parseImageSettings(*text);
}

}  // namespace tenvik

#include "runtime/bundled_installer.h"

#include <windows.h>

#include "system/image_resource.h"

namespace tenvik {

std::optional<std::string_view> bundledInstaller(RuntimeFramework framework, bool x64) {
  return imageResource(RT_RCDATA, bundledInstallerId(framework, x64));
}

}  // namespace tenvik

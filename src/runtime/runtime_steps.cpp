#include "runtime/runtime_steps.h"

#include "runtime/runtime_platform.h"

namespace tenvik {

std::array<RuntimeStep, 2> runtimeSteps(bool x64) {
  if (x64) {
    return {{{runtime::kDesktopFrameworkX64, runtime::kDesktopInstallerPathX64},
             {runtime::kBaseFrameworkX64, runtime::kBaseInstallerPathX64}}};
  }
  return {{{runtime::kDesktopFrameworkX86, runtime::kDesktopInstallerPathX86},
           {runtime::kBaseFrameworkX86, runtime::kBaseInstallerPathX86}}};
}

std::wstring installerAddress(const std::wstring& downloadBase, const std::wstring& installerPath) {
  if (!downloadBase.empty() && downloadBase.back() == L'/' && !installerPath.empty() &&
      installerPath.front() == L'/') {
    return downloadBase + installerPath.substr(1);
  }
  return downloadBase + installerPath;
}

std::wstring installerSwitches(bool silent) {
  return silent ? runtime::kQuietSwitches : runtime::kPassiveSwitches;
}

}  // namespace tenvik

#pragma once
// What the runtime step needs to know of the image it runs in: where to
// download installers from, whose signature they must carry, and how long
// each wait may last. Handed down by the launcher from the image's settings.

#include <cstdint>
#include <string>

#include "runtime/runtime_steps.h"

namespace tenvik {

struct InstallSettings {
  DownloadSource download{false, L"https://download.tenvik.com"};
  // The common name a runtime installer must be signed by; empty: no check.
  std::wstring installerSigner = L"Microsoft Corporation";
  // The most one installer download may take, stalls included.
  uint32_t downloadLimitSeconds = 900;
  // The most the run waits for one runtime installation (the installer and
  // its runs again after it met another installation); then the registry
  // decides as after a failed one.
  uint32_t installerWaitSeconds = 3600;
  // The pause before the installer runs again after it met another
  // installation in progress (1618).
  uint32_t installerBusyPauseMs = 30000;
};

}  // namespace tenvik

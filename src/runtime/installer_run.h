#pragma once
#include <cstdint>
#include <string>

namespace tenvik {

// Filled from the image's install settings (runtime/install_settings.h),
// whose defaults are the only ones.
struct InstallerBounds {
  uint32_t busyPauseMs;  // before a run again after 1618
  uint32_t waitMs;       // the most the whole installation is waited for
};

// Runs the runtime installer at path with arguments in directory and waits
// for it. When it ends because another installation is in progress (1618),
// pauses and runs it again within the bounds of busy_installer.h. Whatever
// it ends with is not acted on otherwise: the probe that follows decides.
// No wait lasts past bounds.waitMs from the first start: an installer still
// running then is left running, and the probe decides as after a failed
// installation. The caller keeps the file held against changes for the
// whole time. environment is the installer's whole environment (a block as
// environmentBlock makes it).
void runInstallerWhileBusy(const std::wstring& path, const std::wstring& arguments, const std::wstring& directory,
                           const std::wstring& environment, const InstallerBounds& bounds);

}  // namespace tenvik

#include "runtime/busy_installer.h"

namespace tenvik {

bool retryBusyInstaller(unsigned long exitCode, unsigned retriesDone, unsigned long long elapsedMs,
                        const BusyInstallerBounds& bounds) {
  if (exitCode != kInstallAlreadyRunning) return false;
  if (retriesDone >= bounds.retries) return false;
  return elapsedMs + bounds.pauseMs <= bounds.limitMs;
}

}  // namespace tenvik

#include "runtime/busy_installer.h"

namespace tenvik {

bool retryBusyInstaller(unsigned long exitCode, unsigned retriesDone, unsigned long long elapsedMs,
                        const BusyInstallerBounds& bounds) {
  if (exitCode != kInstallAlreadyRunning) return false;
  if (retriesDone >= bounds.retries) return false;
  return elapsedMs + bounds.pauseMs <= bounds.limitMs;
}

BusyInstallerBounds busyInstallerBounds(unsigned long pauseMs, unsigned long waitMs) {
  return {kBusyInstallerRetries, pauseMs, waitMs < kBusyInstallerLimitMs ? waitMs : kBusyInstallerLimitMs};
}

unsigned long installerWaitLeftMs(unsigned long long elapsedMs, unsigned long waitMs) {
  return elapsedMs >= waitMs ? 0 : static_cast<unsigned long>(waitMs - elapsedMs);
}

}  // namespace tenvik

#pragma once
// What to do when the runtime installer ends because another installation
// is in progress (Windows Update, another MSI package): wait and run it
// again, a bounded number of times within a bounded time. Pure; the waiting
// and running are in installer_run.cpp.

namespace tenvik {

// ERROR_INSTALL_ALREADY_RUNNING. 3010 and 1641 (a restart is needed or was
// started) are not retried: the probe after the installation decides.
inline constexpr unsigned long kInstallAlreadyRunning = 1618;

struct BusyInstallerBounds {
  unsigned retries;         // runs after the first, at most
  unsigned long pauseMs;    // before each of them
  unsigned long limitMs;    // from the first start: no run begins after it
};

// Ten retries, at most ten minutes from the first start (never after the
// wait for the installer has ended, see below); the pause between them is a
// setting of the image (installer-busy-pause-ms, 30 s by default).
inline constexpr unsigned kBusyInstallerRetries = 10;
inline constexpr unsigned long kBusyInstallerLimitMs = 10ul * 60 * 1000;

// Whether to pause and run the installer again after a run that ended with
// exitCode, when retriesDone retries have been made and elapsedMs have
// passed since the first run started: only for 1618, and only when the
// retry would still begin within the limit.
bool retryBusyInstaller(unsigned long exitCode, unsigned retriesDone, unsigned long long elapsedMs,
                        const BusyInstallerBounds& bounds);

// The bounds for an installation that may last waitMs in all (the image's
// installer wait): the retries above, none beginning after waitMs either.
BusyInstallerBounds busyInstallerBounds(unsigned long pauseMs, unsigned long waitMs);

// How long the run may still wait for the installer, elapsedMs after its
// first start, when the whole installation may last waitMs: 0 once that has
// passed.
unsigned long installerWaitLeftMs(unsigned long long elapsedMs, unsigned long waitMs);

}  // namespace tenvik

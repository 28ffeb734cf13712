#pragma once
// The two machine-wide locks of a run (names in system/machine_mutex_name.h),
// each waited for at most the image's run wait.

#include <cstdint>
#include <functional>
#include <string>

#include "system/machine_mutex.h"
#include "system/run_progress.h"

namespace tenvik {

// The lock of product (the image's product word), which keeps a second run from
// touching the work directory of a first one. Not owned when the bound
// passed, the lock could not be had, or the user cancelled the wait shown
// through progress: the run must then end at once.
MachineMutex waitForOtherRuns(const std::wstring& product, uint32_t waitSeconds, RunProgress& progress);

// Runs runtimeStep (probe, install, probe) with the product-independent
// runtime installation lock held, so that a second product waits for the
// first one's installation and then finds the runtime. When the bound
// passes or the lock cannot be had, the step runs without it: it is no worse
// off than without the lock (a file another installation holds is not run,
// an installer that meets another installation is retried). Returns what the
// step returned; false without running it when the user cancelled the wait
// shown through progress.
bool withRuntimeInstallLock(uint32_t waitSeconds, RunProgress& progress, const std::function<bool()>& runtimeStep);

}  // namespace tenvik

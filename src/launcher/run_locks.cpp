#include "launcher/run_locks.h"

#include "build_settings.h"
#include "system/machine_mutex_name.h"

namespace tenvik {
namespace {

unsigned long waitBoundMs() { return static_cast<unsigned long>(settings::kRunWaitSeconds) * 1000ul; }

}  // namespace

MachineMutex waitForOtherRuns(RunProgress& progress) {
  MachineMutex own = acquireMachineMutex(runMutexName(settings::kProduct), waitBoundMs(), progress);
  progress.hide();
  return own;
}

bool withRuntimeInstallLock(RunProgress& progress, const std::function<bool()>& runtimeStep) {
  const MachineMutex lock = acquireMachineMutex(kRuntimeInstallMutexName, waitBoundMs(), progress);
  progress.hide();
  if (progress.cancelled()) return false;
  return runtimeStep();
}

}  // namespace tenvik

#include "launcher/run_locks.h"

#include "system/machine_mutex_name.h"

namespace tenvik {
namespace {

unsigned long waitBoundMs(uint32_t waitSeconds) { return static_cast<unsigned long>(waitSeconds) * 1000ul; }

}  // namespace

MachineMutex waitForOtherRuns(const std::wstring& product, uint32_t waitSeconds, RunProgress& progress) {
  MachineMutex own = acquireMachineMutex(runMutexName(product), waitBoundMs(waitSeconds), progress);
  progress.hide();
  return own;
}

bool withRuntimeInstallLock(uint32_t waitSeconds, RunProgress& progress, const std::function<bool()>& runtimeStep) {
  const MachineMutex lock = acquireMachineMutex(kRuntimeInstallMutexName, waitBoundMs(waitSeconds), progress);
  progress.hide();
  if (progress.cancelled()) return false;
  return runtimeStep();
}

}  // namespace tenvik

#include "launcher/run_locks.h"

#include "build_settings.h"
#include "system/machine_mutex_name.h"

namespace tenvik {
namespace {

unsigned long waitBoundMs() { return static_cast<unsigned long>(settings::kRunWaitSeconds) * 1000ul; }

}  // namespace

MachineMutex waitForOtherRuns() { return acquireMachineMutex(runMutexName(settings::kProduct), waitBoundMs()); }

bool withRuntimeInstallLock(const std::function<bool()>& runtimeStep) {
  const MachineMutex lock = acquireMachineMutex(kRuntimeInstallMutexName, waitBoundMs());
  return runtimeStep();
}

}  // namespace tenvik

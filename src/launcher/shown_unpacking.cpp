#include "launcher/shown_unpacking.h"

#include <process.h>

#include <atomic>

#include "system/unique_handle.h"

namespace tenvik {
namespace {

// What the unpacking thread and the run's thread share; the counts under
// their lock and the stop as an atomic, the rest handed over at the thread's
// start and end.
struct UnpackJob {
  ProgressCounts counts;
  std::atomic<bool> stop{false};
  const Unpacking* unpack = nullptr;
  std::wstring launchTarget;  // written by the thread, read after it ended

  bool report(uint64_t done, uint64_t total) {
    counts.set(done, total);
    return !stop.load();
  }
};

unsigned __stdcall runUnpacking(void* parameter) {
  UnpackJob& job = *static_cast<UnpackJob*>(parameter);
  try {
    job.launchTarget = (*job.unpack)([&job](uint64_t done, uint64_t total) { return job.report(done, total); });
  } catch (...) {
    job.launchTarget.clear();  // nothing to start: the run ends the usual way
  }
  return 0;
}

}  // namespace

std::wstring unpackWhileShown(const Unpacking& unpack, RunProgress& progress) {
  UnpackJob job;
  job.unpack = &unpack;
  // _beginthreadex rather than CreateThread: the thread uses the C runtime.
  const UniqueKernelHandle thread(
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, runUnpacking, &job, 0, nullptr)));
  if (!thread) return unpack(UnpackReport());

  progress.beginUnpacking();
  DWORD waited = WAIT_TIMEOUT;
  while (waited == WAIT_TIMEOUT) {
    waited = progress.wait(thread.get(), kProgressSliceMs);
    uint64_t done = 0;
    uint64_t total = 0;
    job.counts.read(done, total);
    progress.showUnpacked(done, total);
  }
  const bool cancelled = waited == kWaitCancelled;
  if (waited != WAIT_OBJECT_0) job.stop.store(true);
  progress.hide();
  // The job lives here: the thread must be gone before it is.
  WaitForSingleObject(thread.get(), INFINITE);
  return cancelled ? std::wstring() : job.launchTarget;
}

}  // namespace tenvik

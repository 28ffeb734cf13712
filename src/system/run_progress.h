#pragma once
// What a run shows of its progress, and how the run's thread waits while
// something else works. This base shows nothing and waits as the platform
// does: a run without a progress window behaves as if none of this existed.
// The progress window (progress/progress_window.h) overrides it; its waits
// keep the window answering and end early once the user cancels.
//
// Called only on the run's thread: the window belongs to it. Work on other
// threads hands its counts over through a ProgressCounts, which the waiting
// side reads between waits.

#include <windows.h>

#include <cstdint>
#include <string>

namespace tenvik {

// What a wait returns once the user has cancelled the run.
inline constexpr DWORD kWaitCancelled = 0xFFFFFFFEul;

// How often the waiting side brings a worker's counts to the window: often
// enough for a bar that moves, and for a cancel to stop the run at once.
inline constexpr DWORD kProgressSliceMs = 100;

// Bytes done of a total (0: not known), written by the thread that does the
// work and read by the run's thread, each side under the lock.
class ProgressCounts {
 public:
  void set(uint64_t done, uint64_t total) {
    AcquireSRWLockExclusive(&lock_);
    done_ = done;
    total_ = total;
    ReleaseSRWLockExclusive(&lock_);
  }
  void setTotal(uint64_t total) {
    AcquireSRWLockExclusive(&lock_);
    total_ = total;
    ReleaseSRWLockExclusive(&lock_);
  }
  void add(uint64_t bytes) {
    AcquireSRWLockExclusive(&lock_);
    done_ += bytes;
    ReleaseSRWLockExclusive(&lock_);
  }
  void read(uint64_t& done, uint64_t& total) const {
    AcquireSRWLockShared(&lock_);
    done = done_;
    total = total_;
    ReleaseSRWLockShared(&lock_);
  }

 private:
  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  uint64_t done_ = 0;
  uint64_t total_ = 0;
};

class RunProgress {
 public:
  RunProgress() = default;
  virtual ~RunProgress() = default;
  RunProgress(const RunProgress&) = delete;
  RunProgress& operator=(const RunProgress&) = delete;

  // Whether anything is shown: a caller that waits long then waits in short
  // slices and reports between them.
  virtual bool shows() const { return false; }

  // Waits up to ms (INFINITE: without a bound) for handle, as
  // WaitForSingleObject does; a null handle only lets the time pass.
  // kWaitCancelled when the user cancelled before the handle was signalled.
  virtual DWORD wait(HANDLE handle, DWORD ms) {
    if (handle == nullptr) {
      Sleep(ms);
      return WAIT_TIMEOUT;
    }
    return WaitForSingleObject(handle, ms);
  }

  // True once the user has cancelled; it stays so.
  virtual bool cancelled() const { return false; }

  // The stages, each replacing what was shown before. subject names the
  // runtime a download brings (runtime_steps.h: downloadSubject); total is
  // 0 when it is not known.
  virtual void showWaiting() {}
  virtual void showDownloading(const std::wstring& subject) { (void)subject; }
  virtual void showDownloaded(uint64_t received, uint64_t total) {
    (void)received;
    (void)total;
  }
  // Unpacking is shown only once it has taken kUnpackingShowsAfterMs since
  // beginUnpacking.
  virtual void beginUnpacking() {}
  virtual void showUnpacked(uint64_t done, uint64_t total) {
    (void)done;
    (void)total;
  }

  // Takes the window away, before a wait that cannot keep it answering
  // (the runtime installer, the application) or when a stage is over.
  virtual void hide() {}
};

}  // namespace tenvik

#pragma once
// A RunProgress that shows nothing but notes what it was told, for tests of
// the code that reports through it; it can be told to cancel at a given wait.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "system/run_progress.h"

namespace tenvik::test {

class RecordingProgress : public RunProgress {
 public:
  // Waits as the platform does until the cancelAtWait-th wait (1 is the
  // first; 0: never), which returns kWaitCancelled, as every later one does.
  explicit RecordingProgress(int cancelAtWait = 0) : cancelAtWait_(cancelAtWait) {}

  bool shows() const override { return true; }
  DWORD wait(HANDLE handle, DWORD ms) override {
    ++waits;
    if (cancelAtWait_ != 0 && waits >= cancelAtWait_) {
      cancelled_ = true;
      return kWaitCancelled;
    }
    return RunProgress::wait(handle, ms);
  }
  bool cancelled() const override { return cancelled_; }
  void showWaiting() override { ++waitingShown; }
  void showDownloading(const std::wstring& subject) override { downloads.push_back(subject); }
  void showDownloaded(uint64_t received, uint64_t total) override { counts.emplace_back(received, total); }
  void showUnpacked(uint64_t done, uint64_t total) override { counts.emplace_back(done, total); }
  void hide() override { ++hidden; }

  int waits = 0;
  int waitingShown = 0;
  int hidden = 0;
  std::vector<std::wstring> downloads;
  std::vector<std::pair<uint64_t, uint64_t>> counts;  // (done, total), in order

 private:
  int cancelAtWait_;
  bool cancelled_ = false;
};

}  // namespace tenvik::test

#pragma once
// Runs of Setup.exe that overlap: started now, waited for later. Each run
// takes the environment of the test process as it is when it starts, so a
// test sets a run's orders (report paths, exit codes) before starting it.

#include <windows.h>

#include <string>

#include "support/wine_support.h"
#include "system/unique_handle.h"

namespace tenvik::test {

class StartedRun {
 public:
  StartedRun(const std::wstring& exe, const std::wstring& args);
  ~StartedRun();  // a run still going is killed
  StartedRun(const StartedRun&) = delete;
  StartedRun& operator=(const StartedRun&) = delete;

  bool started() const { return static_cast<bool>(process_); }
  // True while the run goes on after waiting up to timeoutMs for its end.
  bool stillRunningAfter(DWORD timeoutMs) const;
  // Waits up to timeoutMs; a run that is still going then is killed.
  RunResult finish(DWORD timeoutMs = 120000);

 private:
  UniqueKernelHandle process_;
};

// Polls every 50 ms until path exists; false after timeoutMs.
bool waitForFile(const std::wstring& path, DWORD timeoutMs = 60000);

// Creates an empty file at path, which releases a stand-in waiting for it.
void releaseGate(const std::wstring& path);

}  // namespace tenvik::test

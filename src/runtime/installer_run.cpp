#include "runtime/installer_run.h"

#include <windows.h>

#include "runtime/busy_installer.h"
#include "system/process_runner.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

// The installer's exit code; 0 when it could not be started or read, which
// ends the retries like any code but 1618; STILL_ACTIVE when it was still
// running after waitMs.
//
// An installer that outlasts the wait is not ended. The vendor's installer
// drives Windows Installer transactions; killing it midway can leave a
// half-registered runtime and an installation that Windows Installer rolls
// back or finishes on its own terms, while one left alone may still finish
// (it may itself be waiting for Windows Update) and register the runtime
// for the next run. So the run lets go of it: it closes its handle, lets
// the registry decide, and releases the machine-wide installation lock, so
// that neither this run nor other products wait for it without end. Its
// file and folder cannot be deleted while it runs and stay until a later
// run makes the folder anew.
DWORD runOnce(const std::wstring& path, const std::wstring& arguments, const std::wstring& directory,
              const std::wstring& environment, unsigned long waitMs) {
  UniqueKernelHandle process(runProcess(path, arguments, directory, environment));
  if (!process) return 0;
  if (WaitForSingleObject(process.get(), waitMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.get(), &exitCode)) return 0;
  return exitCode;
}

}  // namespace

void runInstallerWhileBusy(const std::wstring& path, const std::wstring& arguments, const std::wstring& directory,
                           const std::wstring& environment, const InstallerBounds& limits) {
  const BusyInstallerBounds bounds = busyInstallerBounds(limits.busyPauseMs, limits.waitMs);
  // GetTickCount64 is monotonic: a clock set back cannot stretch the bound.
  const ULONGLONG start = GetTickCount64();
  for (unsigned retries = 0;; ++retries) {
    const unsigned long waitMs = installerWaitLeftMs(GetTickCount64() - start, limits.waitMs);
    const DWORD exitCode = runOnce(path, arguments, directory, environment, waitMs);
    if (exitCode == STILL_ACTIVE || !retryBusyInstaller(exitCode, retries, GetTickCount64() - start, bounds)) {
      return;
    }
    Sleep(bounds.pauseMs);
  }
}

}  // namespace tenvik

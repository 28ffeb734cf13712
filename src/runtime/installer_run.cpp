#include "runtime/installer_run.h"

#include <windows.h>

#include "build_settings.h"
#include "runtime/busy_installer.h"
#include "system/process_runner.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

// The installer's exit code; 0 when it could not be started or read, which
// ends the retries like any code but 1618.
DWORD runOnce(const std::wstring& path, const std::wstring& arguments, const std::wstring& directory,
              const std::wstring& environment) {
  UniqueKernelHandle process(runProcess(path, arguments, directory, environment));
  if (!process) return 0;
  WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.get(), &exitCode)) return 0;
  return exitCode;
}

}  // namespace

void runInstallerWhileBusy(const std::wstring& path, const std::wstring& arguments, const std::wstring& directory,
                           const std::wstring& environment) {
  const BusyInstallerBounds bounds = {kBusyInstallerRetries, settings::kInstallerBusyPauseMs, kBusyInstallerLimitMs};
  // GetTickCount64 is monotonic: a clock set back cannot stretch the bound.
  const ULONGLONG start = GetTickCount64();
  for (unsigned retries = 0;; ++retries) {
    const DWORD exitCode = runOnce(path, arguments, directory, environment);
    if (!retryBusyInstaller(exitCode, retries, GetTickCount64() - start, bounds)) return;
    Sleep(bounds.pauseMs);
  }
}

}  // namespace tenvik

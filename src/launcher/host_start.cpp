#include "launcher/host_start.h"

#include <windows.h>

#include "launcher/command_line.h"
#include "launcher/launch_sequence.h"
#include "launcher/windows_environment.h"
#include "runtime/install_location.h"
#include "runtime/runtime_platform.h"
#include "runtime/runtime_probe.h"
#include "system/path.h"
#include "system/process_runner.h"

namespace tenvik {
namespace {

// A drive letter that leads to a network share is not the machine's own:
// the host must not be loaded from it elevated.
bool isOnFixedDrive(const std::wstring& path) {
  const std::wstring root = path.substr(0, 3);
  return GetDriveTypeW(root.c_str()) == DRIVE_FIXED;
}

// Where dotnet.exe lives. Runtime-only installs may leave no InstallLocation;
// they put the host in the default directory of the architecture.
std::wstring runtimeDirectory(bool wow64) {
  const std::wstring location =
      readInstallLocation(wow64 ? runtime::kInstallKeyX64 : runtime::kInstallKeyX86);
  if (isDriveAbsolutePath(location) && isOnFixedDrive(location)) return location;
  const std::wstring programFiles = nativeProgramFilesFolder(wow64);
  if (programFiles.empty()) return std::wstring();
  return joinPath(programFiles, L"dotnet");
}

}  // namespace

ChosenHost chooseHost(bool wow64) {
  ChosenHost host;
  const std::wstring directory = runtimeDirectory(wow64);
  if (directory.empty()) return host;
  host.path = joinPath(directory, runtime::kHostExecutable);
  host.file.reset(CreateFileW(host.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  return host;
}

int runHost(ChosenHost& host, const std::wstring& parameters, const std::wstring& workDirectory,
            const std::wstring& environment) {
  if (!host.file) return kExitHostNotStarted;
  UniqueKernelHandle process(startProcess(
      {host.path, hostCommandLine(host.path, parameters), workDirectory, environment, SW_HIDE}));
  host.file.reset();
  if (!process) return kExitHostNotStarted;
  WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = static_cast<DWORD>(kExitHostNotStarted);
  GetExitCodeProcess(process.get(), &exitCode);
  return static_cast<int>(exitCode);
}

}  // namespace tenvik

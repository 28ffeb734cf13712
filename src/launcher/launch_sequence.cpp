#include "launcher/launch_sequence.h"

#include <windows.h>
#include <knownfolders.h>
#include <shellapi.h>

#include <exception>
#include <memory>

#include "launcher/command_line.h"
#include "launcher/run_locks.h"
#include "launcher/shown_unpacking.h"
#include "launcher/windows_environment.h"
#include "package/extract_package.h"
#include "package/payload_resource.h"
#include "progress/progress_window.h"
#include "runtime/runtime_install.h"
#include "runtime/runtime_platform.h"
#include "runtime/runtime_probe.h"
#include "runtime/runtime_steps.h"
#include "settings/settings_resource.h"
#include "system/path.h"
#include "system/protected_folder.h"
#include "system/run_progress.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

constexpr int kAppStartingCursor = 32650;  // IDC_APPSTARTING

std::wstring productFolderIn(const std::wstring& programData, const std::wstring& product) {
  return joinPath(programData, product);
}

// A product folder this run made for an installation that failed leaves
// nothing behind; one that was there before stays. Only an empty folder is
// removed.
void releaseProductFolder(ProductFolder& product, const std::wstring& path) {
  product.handle.reset();
  if (product.createdNow) RemoveDirectoryW(path.c_str());
}

// Where dotnet.exe lives. Runtime-only installs may leave no InstallLocation;
// they put the host in the default directory of the architecture, and a bare
// "dotnet.exe" must never reach the shell, which would search the current
// directory and the PATH for it on behalf of an elevated process.
std::wstring runtimeDirectory(bool wow64) {
  std::wstring location =
      readInstallLocation(wow64 ? runtime::kInstallKeyX64 : runtime::kInstallKeyX86);
  if (!location.empty()) return location;
  const std::wstring programFiles = nativeProgramFilesFolder(wow64);
  if (programFiles.empty()) return std::wstring();
  return joinPath(programFiles, L"dotnet");
}

// Starts the runtime host hidden and waits for it. kExitHostNotStarted when
// the shell did not give us a process.
int runHost(const std::wstring& hostPath, const std::wstring& parameters, const std::wstring& workDirectory,
            bool silent) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST;
  // Unattended, nobody could answer the shell's own error box.
  if (silent) info.fMask |= SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = hostPath.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = workDirectory.empty() ? nullptr : workDirectory.c_str();
  info.nShow = SW_HIDE;
  ShellExecuteExW(&info);
  UniqueKernelHandle process(info.hProcess);
  if (!process) return kExitHostNotStarted;
  WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = static_cast<DWORD>(kExitHostNotStarted);
  GetExitCodeProcess(process.get(), &exitCode);
  return static_cast<int>(exitCode);
}

// Unpacks the payload; the launch target, or empty when there is none or
// the package did not arrive whole: an application with a damaged or missing
// file must not be started elevated. A failed text conversion, or memory
// running out for the payload, ends the run the same way, so the work
// directory is still removed.
std::wstring unpackPayload(const std::wstring& workDirectory, const UnpackReport& report) {
  try {
    const std::wstring packagePath = joinPath(workDirectory, L".package");
    writePayload(packagePath);
    const PackageExtraction package = extractPackage(packagePath, workDirectory, report);
    return package.intact ? package.launchTarget : std::wstring();
  } catch (const std::exception&) {
    return std::wstring();
  }
}

// The window when the image asks for one and somebody can see it; else the
// progress that shows nothing. A window that cannot be had (no common
// controls) leaves the run unseen too.
std::unique_ptr<RunProgress> progressFor(const ImageSettings& image, bool silent) {
  if (image.progressWindow && !silent) {
    if (std::unique_ptr<RunProgress> window = makeProgressWindow(image.product)) return window;
  }
  return std::make_unique<RunProgress>();
}

}  // namespace

int runLaunchSequence(const std::wstring& commandLine) {
  // Read once, before anything is touched: an image whose settings cannot be
  // read does nothing at all rather than run on guessed ones.
  const std::optional<ImageSettings> settings = readImageSettings();
  if (!settings) return kExitHostNotStarted;
  return runLaunchSequence(commandLine, *settings);
}

int runLaunchSequence(const std::wstring& commandLine, const ImageSettings& settings) {
  restrictDllSearchToSystem();
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(kAppStartingCursor)));

  const bool silent = commandLineAsksSilent(commandLine) || windowStationIsInvisible();
  const bool wow64 = isWow64();

  const std::unique_ptr<RunProgress> progress = progressFor(settings, silent);

  // Held until the work directory is removed; a run that cannot have it
  // in time, or whose user cancelled the wait, has touched nothing.
  const MachineMutex ownRun = waitForOtherRuns(settings.product, settings.runWaitSeconds, *progress);
  if (!ownRun.owned()) return kExitHostNotStarted;

  // Any user may create folders in ProgramData, so the product folder is
  // made ours before anything is written into it, the runtime installer
  // included: a folder somebody else prepared could let them swap the files
  // the elevated installer or host loads. Held until the run ends.
  const std::wstring programData = knownFolderPath(FOLDERID_ProgramData);
  if (programData.empty()) return kExitHostNotStarted;
  const std::wstring productFolder = productFolderIn(programData, settings.product);
  ProductFolder product = prepareProductFolder(productFolder);
  if (!product.handle) return kExitHostNotStarted;

  const bool runtimeReady =
      withRuntimeInstallLock(settings.runWaitSeconds, *progress, [&settings, wow64, silent, &productFolder, &progress] {
        return ensureRuntimeForRule(settings.runtime, settings.install, wow64, silent, productFolder, *progress);
      });
  if (!runtimeReady) {
    releaseProductFolder(product, productFolder);
    // A user who cancelled knows why the run ends; the box is for failures.
    if (!silent && !progress->cancelled()) {
      const std::wstring message = prerequisiteFailureMessage(manualDownloadPage(settings.runtime.major));
      MessageBoxW(nullptr, message.c_str(), L"Error", MB_OK);
    }
    return kExitPrerequisiteFailed;
  }

  // Made anew by this run and held from its creation until it is removed; a
  // stale one of an earlier run is discarded first.
  const std::wstring workDirectory = joinPath(productFolder, L"Setup.tmp");
  UniqueFileHandle workHold = makeFreshHeldFolder(workDirectory);
  if (!workHold) return kExitHostNotStarted;

  int exitCode = kExitHostNotStarted;
  const Unpacking unpack = [&workDirectory](const UnpackReport& report) {
    return unpackPayload(workDirectory, report);
  };
  const std::wstring launchTarget = progress->shows() ? unpackWhileShown(unpack, *progress) : unpack(UnpackReport());
  // The application may show windows of its own; ours would not answer.
  progress->hide();
  // The host goes by the name: the name must still lead to the folder we hold.
  if (!launchTarget.empty() && isStillAt(workHold.get(), workDirectory)) {
    const std::wstring directory = runtimeDirectory(wow64);
    if (!directory.empty()) {
      exitCode = runHost(joinPath(directory, runtime::kHostExecutable),
                         hostParameters(launchTarget, commandLine), workDirectory, silent);
    }
  }
  removeHeldFolder(workHold, workDirectory);
  return exitCode;
}

}  // namespace tenvik

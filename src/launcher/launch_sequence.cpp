#include "launcher/launch_sequence.h"

#include <windows.h>
#include <knownfolders.h>

#include <exception>
#include <memory>

#include "launcher/command_line.h"
#include "launcher/host_start.h"
#include "launcher/run_folders.h"
#include "launcher/run_locks.h"
#include "launcher/shown_unpacking.h"
#include "launcher/windows_environment.h"
#include "package/extract_package.h"
#include "package/payload_resource.h"
#include "progress/progress_window.h"
#include "runtime/runtime_install.h"
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
  // the elevated installer or host loads. Held until the run ends, with the
  // children's temporary folder in it.
  const std::wstring programData = knownFolderPath(FOLDERID_ProgramData);
  if (programData.empty()) return kExitHostNotStarted;
  RunFolders folders = prepareRunFolders(productFolderIn(programData, settings.product));
  if (!folders.ready()) return kExitHostNotStarted;
  const std::wstring& productFolder = folders.product.path;
  const std::wstring& childEnvironment = folders.childEnvironment;

  const bool runtimeReady = withRuntimeInstallLock(
      settings.runWaitSeconds, *progress, [&settings, wow64, silent, &productFolder, &childEnvironment, &progress] {
        return ensureRuntimeForRule(settings.runtime, settings.install, wow64, silent, productFolder, childEnvironment,
                                    *progress);
      });
  if (!runtimeReady) {
    releaseRunFolders(folders, true);
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
  if (!workHold) {
    releaseRunFolders(folders, false);
    return kExitHostNotStarted;
  }

  int exitCode = kExitHostNotStarted;
  const Unpacking unpack = [&workDirectory](const UnpackReport& report) {
    return unpackPayload(workDirectory, report);
  };
  const std::wstring launchTarget = progress->shows() ? unpackWhileShown(unpack, *progress) : unpack(UnpackReport());
  // The application may show windows of its own; ours would not answer.
  progress->hide();
  // The host goes by the name: the name must still lead to the folder we hold.
  if (!launchTarget.empty() && isStillAt(workHold.get(), workDirectory)) {
    ChosenHost host = chooseHost(wow64);
    exitCode = runHost(host, hostParameters(launchTarget, commandLine), workDirectory, childEnvironment);
  }
  removeHeldFolder(workHold, workDirectory);
  releaseRunFolders(folders, false);
  return exitCode;
}

}  // namespace tenvik

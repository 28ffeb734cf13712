#include "runtime/runtime_install.h"

#include <windows.h>

#include "download/download_deadline.h"
#include "download/download_file.h"
#include "runtime/bundled_installer.h"
#include "runtime/installer_signature.h"
#include "runtime/installer_run.h"
#include "runtime/installer_signer.h"
#include "runtime/runtime_platform.h"
#include "runtime/runtime_probe.h"
#include "runtime/runtime_steps.h"
#include "system/held_file.h"
#include "system/path.h"
#include "system/protected_folder.h"
#include "system/run_progress.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

// Where the installer is written, inside the product folder.
constexpr wchar_t kInstallerFolderName[] = L"Runtime.tmp";

// Whether the held installer may run: signed by the publisher the image
// names, as far as the platform can tell.
bool acceptable(HANDLE heldFile, const std::wstring& path, const std::wstring& required) {
  if (signatureCheckOff(required)) return true;
  return isAcceptedInstaller(required, inspectSignature(heldFile, path));
}

InstallerBounds installerBounds(const InstallSettings& settings) {
  return {settings.installerBusyPauseMs, limitMilliseconds(settings.installerWaitSeconds)};
}

// Writes, checks and runs the installer in folder, held by the caller.
void installHeld(std::string_view installer, const std::wstring& arguments, const InstallSettings& settings,
                 const std::wstring& folder, const std::wstring& environment) {
  // A failed download is not written at all: it could not start.
  if (installer.empty()) return;
  const std::wstring installerPath = joinPath(folder, runtime::kInstallerFileName);
  UniqueFileHandle held = writeHeldFile(installerPath, installer);
  if (!held) return;
  // CreateProcessW goes by the name: it must still name the held file. The
  // hold keeps the file, and the folder holds keep its folders, from being
  // renamed; this asks the file system itself.
  if (isStillAt(held.get(), installerPath) && acceptable(held.get(), installerPath, settings.installerSigner)) {
    runInstallerWhileBusy(installerPath, arguments, folder, environment, installerBounds(settings));
  }
  deleteHeldFile(held);
}

bool stepMet(const RuleStep& step, const RuntimeRule& rule) {
  for (const wchar_t* key : step.probeKeys) {
    if (key && isRuntimeInstalled(key, rule)) return true;
  }
  return false;
}

bool ensureStep(const RuleStep& step, const RuntimeRule& rule, const InstallSettings& settings, bool x64,
                bool silent, const std::wstring& productFolder, const std::wstring& environment,
                RunProgress& progress) {
  if (stepMet(step, rule)) return true;
  const std::wstring switches = installerSwitches(silent);
  if (const std::optional<std::string_view> bundled = bundledInstaller(step.installs, x64)) {
    // The installer shows its own progress; a window of ours left standing
    // meanwhile would not answer.
    progress.hide();
    installRuntimeFrom(*bundled, switches, settings, productFolder, environment);
  } else {
    progress.showDownloading(downloadSubject(step.installs, rule.major, x64));
    installRuntime(installerAddressFor(settings.download, step.installs, x64, rule.major), switches, settings,
                   productFolder, environment, progress);
    // Nothing was written or run: the user's own choice, not a failure to probe for.
    if (progress.cancelled()) return false;
  }
  // Only the registry tells: installers also end non-zero after a success
  // that merely asks for a restart.
  return stepMet(step, rule);
}

}  // namespace

bool ensureRuntimeX64(const InstallSettings& settings, bool silent, const std::wstring& productFolder) {
  return ensureRuntimeForRule(RuntimeRule::standard(), settings, true, silent, productFolder);
}

bool ensureRuntimeX86(const InstallSettings& settings, bool silent, const std::wstring& productFolder) {
  return ensureRuntimeForRule(RuntimeRule::standard(), settings, false, silent, productFolder);
}

bool ensureRuntimeForRule(const RuntimeRule& rule, const InstallSettings& settings, bool x64, bool silent,
                          const std::wstring& productFolder) {
  RunProgress quiet;
  return ensureRuntimeForRule(rule, settings, x64, silent, productFolder, std::wstring(), quiet);
}

bool ensureRuntimeForRule(const RuntimeRule& rule, const InstallSettings& settings, bool x64, bool silent,
                          const std::wstring& productFolder, const std::wstring& environment, RunProgress& progress) {
  for (const RuleStep& step : ruleSteps(rule, x64)) {
    if (ensureStep(step, rule, settings, x64, silent, productFolder, environment, progress)) return true;
    if (progress.cancelled()) return false;
  }
  return false;
}

bool ensureRuntime(const std::wstring& frameworkKey, const std::wstring& installerUrl,
                   const InstallSettings& settings, bool silent, const std::wstring& productFolder) {
  if (isRuntimeInstalled(frameworkKey)) return true;
  installRuntime(installerUrl, installerSwitches(silent), settings, productFolder);
  // Only the registry tells: installers also end non-zero after a success
  // that merely asks for a restart.
  return isRuntimeInstalled(frameworkKey);
}

void installRuntime(const std::wstring& installerUrl, const std::wstring& arguments,
                    const InstallSettings& settings, const std::wstring& productFolder) {
  RunProgress quiet;
  installRuntime(installerUrl, arguments, settings, productFolder, std::wstring(), quiet);
}

void installRuntime(const std::wstring& installerUrl, const std::wstring& arguments,
                    const InstallSettings& settings, const std::wstring& productFolder,
                    const std::wstring& environment, RunProgress& progress) {
  const std::string installer =
      downloadFile(installerUrl, limitMilliseconds(settings.downloadLimitSeconds), progress);
  // The installer shows its own progress; a window of ours left standing
  // meanwhile would not answer.
  progress.hide();
  if (progress.cancelled()) return;
  installRuntimeFrom(installer, arguments, settings, productFolder, environment);
}

void installRuntimeFrom(std::string_view installer, const std::wstring& arguments, const InstallSettings& settings,
                        const std::wstring& productFolder, const std::wstring& environment) {
  // Without the product folder a bare name would land in whatever the
  // current directory happens to be; better to install nothing.
  if (productFolder.empty()) return;
  // A folder of its own, made anew (what an interrupted run left there goes
  // first), so that nothing beside the installer (a DLL it would load from
  // its own folder) comes from anyone but this run; and it is the
  // installer's working directory.
  const std::wstring folder = joinPath(productFolder, kInstallerFolderName);
  UniqueFileHandle folderHold = makeFreshHeldFolder(folder);
  if (!folderHold) return;
  installHeld(installer, arguments, settings, folder, environment);
  removeHeldFolder(folderHold, folder);
}

}  // namespace tenvik

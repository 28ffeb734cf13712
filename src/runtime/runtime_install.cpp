#include "runtime/runtime_install.h"

#include <windows.h>

#include "build_settings.h"
#include "download/download_deadline.h"
#include "download/download_file.h"
#include "progress/progress_text.h"
#include "runtime/bundled_installer.h"
#include "runtime/installer_signature.h"
#include "runtime/installer_run.h"
#include "runtime/installer_signer.h"
#include "runtime/runtime_platform.h"
#include "runtime/runtime_probe.h"
#include "runtime/runtime_steps.h"
#include "runtime/sized_text.h"
#include "system/file_system.h"
#include "system/held_file.h"
#include "system/path.h"
#include "system/run_progress.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

// The user's temporary directory with its trailing backslash, also when it is
// longer than MAX_PATH; empty when the platform has none to give.
std::wstring temporaryDirectory() {
  return readSizedText([](unsigned long capacity, wchar_t* buffer) { return GetTempPathW(capacity, buffer); },
                       MAX_PATH + 1);
}

// Whether the held installer may run: signed by the publisher the build
// names, as far as the platform can tell.
bool acceptable(HANDLE heldFile, const std::wstring& path) {
  const std::wstring required = settings::kInstallerSigner;
  if (signatureCheckOff(required)) return true;
  return isAcceptedInstaller(required, inspectSignature(heldFile, path));
}

bool stepMet(const RuleStep& step, const RuntimeRule& rule) {
  for (const wchar_t* key : step.probeKeys) {
    if (key && isRuntimeInstalled(key, rule)) return true;
  }
  return false;
}

bool ensureStep(const RuleStep& step, const RuntimeRule& rule, bool x64, bool silent, RunProgress& progress) {
  if (stepMet(step, rule)) return true;
  const std::wstring switches = installerSwitches(silent);
  if (const std::optional<std::string_view> bundled = bundledInstaller(step.installs, x64)) {
    installRuntimeFrom(*bundled, switches);
  } else {
    progress.showDownloading(downloadSubject(step.installs, rule.major, x64));
    installRuntime(installerAddress(settings::kDownloadBase, installerPathFor(step.installs, x64, rule.major)),
                   switches, progress);
    // Nothing was written or run: the user's own choice, not a failure to probe for.
    if (progress.cancelled()) return false;
  }
  // Only the registry tells: installers also end non-zero after a success
  // that merely asks for a restart.
  return stepMet(step, rule);
}

}  // namespace

bool ensureRuntimeX64(bool silent) { return ensureRuntimeForRule(RuntimeRule::standard(), true, silent); }

bool ensureRuntimeX86(bool silent) { return ensureRuntimeForRule(RuntimeRule::standard(), false, silent); }

bool ensureRuntimeForRule(const RuntimeRule& rule, bool x64, bool silent) {
  RunProgress quiet;
  return ensureRuntimeForRule(rule, x64, silent, quiet);
}

bool ensureRuntimeForRule(const RuntimeRule& rule, bool x64, bool silent, RunProgress& progress) {
  for (const RuleStep& step : ruleSteps(rule, x64)) {
    if (ensureStep(step, rule, x64, silent, progress)) return true;
    if (progress.cancelled()) return false;
  }
  return false;
}

bool ensureRuntime(const std::wstring& frameworkKey, const std::wstring& installerUrl, bool silent) {
  if (isRuntimeInstalled(frameworkKey)) return true;
  installRuntime(installerUrl, installerSwitches(silent));
  // Only the registry tells: installers also end non-zero after a success
  // that merely asks for a restart.
  return isRuntimeInstalled(frameworkKey);
}

void installRuntime(const std::wstring& installerUrl, const std::wstring& arguments) {
  RunProgress quiet;
  installRuntime(installerUrl, arguments, quiet);
}

void installRuntime(const std::wstring& installerUrl, const std::wstring& arguments, RunProgress& progress) {
  const std::string installer =
      downloadFile(installerUrl, limitMilliseconds(settings::kDownloadLimitSeconds), progress);
  // The installer shows its own progress; a window of ours left standing
  // meanwhile would not answer.
  progress.hide();
  if (progress.cancelled()) return;
  installRuntimeFrom(installer, arguments);
}

void installRuntimeFrom(std::string_view installer, const std::wstring& arguments) {
  const std::wstring directory = temporaryDirectory();
  // Without a directory the file name alone would land in whatever the
  // current directory happens to be; better to install nothing.
  if (directory.empty()) return;

  const std::wstring installerPath = joinPath(directory, runtime::kInstallerFileName);
  // A failed download is written too, as an empty file: it cannot start, and
  // it replaces any installer left behind by an interrupted run.
  writeFile(installerPath, installer);

  // From here until it is deleted, nobody else can change or replace the
  // file: what was checked is what runs. A file someone else still holds
  // open for writing cannot be held, and is not run.
  UniqueFileHandle held = holdFile(installerPath);
  if (!held) {
    DeleteFileW(installerPath.c_str());
    return;
  }
  if (acceptable(held.get(), installerPath)) {
    runInstallerWhileBusy(installerPath, arguments, directory);
  }
  deleteHeldFile(held, installerPath);
}

}  // namespace tenvik

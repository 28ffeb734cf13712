#include "runtime/runtime_steps.h"

#include "runtime/runtime_platform.h"

namespace tenvik {

std::array<RuntimeStep, 2> runtimeSteps(bool x64) {
  if (x64) {
    return {{{runtime::kDesktopFrameworkX64, runtime::kDesktopInstallerPathX64},
             {runtime::kBaseFrameworkX64, runtime::kBaseInstallerPathX64}}};
  }
  return {{{runtime::kDesktopFrameworkX86, runtime::kDesktopInstallerPathX86},
           {runtime::kBaseFrameworkX86, runtime::kBaseInstallerPathX86}}};
}

namespace {

const wchar_t* frameworkKey(RuntimeFramework framework, bool x64) {
  if (framework == RuntimeFramework::desktop) return x64 ? runtime::kDesktopFrameworkX64 : runtime::kDesktopFrameworkX86;
  return x64 ? runtime::kBaseFrameworkX64 : runtime::kBaseFrameworkX86;
}

RuleStep stepFor(RuntimeFramework framework, bool x64, unsigned long major) {
  RuleStep step;
  step.probeKeys.push_back(frameworkKey(framework, x64));
  step.installs = framework;
  step.installerPath = installerPathFor(framework, x64, major);
  return step;
}

}  // namespace

std::vector<RuleStep> ruleSteps(const RuntimeRule& rule, bool x64) {
  if (rule.baseFallback) {
    return {stepFor(RuntimeFramework::desktop, x64, rule.major), stepFor(RuntimeFramework::base, x64, rule.major)};
  }
  RuleStep step = stepFor(rule.framework, x64, rule.major);
  if (rule.framework == RuntimeFramework::base) step.probeKeys.push_back(frameworkKey(RuntimeFramework::desktop, x64));
  return {step};
}

std::wstring installerPathFor(RuntimeFramework framework, bool x64, unsigned long major) {
  const bool desktop = framework == RuntimeFramework::desktop;
  const std::array<RuntimeStep, 2> literals = runtimeSteps(x64);
  std::wstring path = literals[desktop ? 0 : 1].installerPath;
  if (major != 6) path += L"&version=" + std::to_wstring(major);
  return path;
}

std::wstring manualDownloadPage(unsigned long major) {
  if (major == 6) return runtime::kManualDownloadPage;
  return L"https://dotnet.microsoft.com/download/dotnet/" + std::to_wstring(major) + L".0";
}

std::wstring installerAddress(const std::wstring& downloadBase, const std::wstring& installerPath) {
  if (!downloadBase.empty() && downloadBase.back() == L'/' && !installerPath.empty() &&
      installerPath.front() == L'/') {
    return downloadBase + installerPath.substr(1);
  }
  return downloadBase + installerPath;
}

std::wstring installerSwitches(bool silent) {
  return silent ? runtime::kQuietSwitches : runtime::kPassiveSwitches;
}

}  // namespace tenvik

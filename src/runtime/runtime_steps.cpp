#include "runtime/runtime_steps.h"

#include "system/number_text.h"
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

RuleStep stepFor(RuntimeFramework framework, bool x64) {
  RuleStep step;
  step.installs = framework;
  step.probeKeys[0] = frameworkKey(framework, x64);
  return step;
}

}  // namespace

RuleSteps ruleSteps(const RuntimeRule& rule, bool x64) {
  RuleSteps steps;
  if (rule.baseFallback) {
    steps.steps = {stepFor(RuntimeFramework::desktop, x64), stepFor(RuntimeFramework::base, x64)};
    steps.count = 2;
    return steps;
  }
  steps.steps[0] = stepFor(rule.framework, x64);
  if (rule.framework == RuntimeFramework::base) steps.steps[0].probeKeys[1] = frameworkKey(RuntimeFramework::desktop, x64);
  steps.count = 1;
  return steps;
}

std::wstring installerPathFor(RuntimeFramework framework, bool x64, unsigned long major) {
  const bool desktop = framework == RuntimeFramework::desktop;
  const std::array<RuntimeStep, 2> literals = runtimeSteps(x64);
  std::wstring path = literals[desktop ? 0 : 1].installerPath;
  if (major != 6) {
    path += L"&version=";
    path += decimalText(major);
  }
  return path;
}

std::wstring manualDownloadPage(unsigned long major) {
  if (major == 6) return runtime::kManualDownloadPage;
  std::wstring page = L"https://dotnet.microsoft.com/download/dotnet/";
  page += decimalText(major);
  page += L".0";
  return page;
}

std::wstring installerAddress(const std::wstring& downloadBase, const std::wstring& installerPath) {
  if (!downloadBase.empty() && downloadBase.back() == L'/' && !installerPath.empty() &&
      installerPath.front() == L'/') {
    return downloadBase + installerPath.substr(1);
  }
  return downloadBase + installerPath;
}

std::wstring vendorInstallerAddress(RuntimeFramework framework, bool x64, unsigned long major) {
  std::wstring address = runtime::kVendorInstallerBase;
  address += decimalText(major);
  address += framework == RuntimeFramework::desktop ? L".0/windowsdesktop-runtime-win-" : L".0/dotnet-runtime-win-";
  address += x64 ? L"x64.exe" : L"x86.exe";
  return address;
}

std::wstring installerAddressFor(const DownloadSource& source, RuntimeFramework framework, bool x64,
                                 unsigned long major) {
  if (source.vendor) return vendorInstallerAddress(framework, x64, major);
  return installerAddress(source.base, installerPathFor(framework, x64, major));
}

std::wstring downloadSubject(RuntimeFramework framework, unsigned long major, bool x64) {
  const wchar_t* name = framework == RuntimeFramework::desktop ? L"the .NET Desktop Runtime " : L"the .NET Runtime ";
  return name + decimalText(major) + (x64 ? L" (x64)" : L" (x86)");
}

std::wstring installerSwitches(bool silent) {
  return silent ? runtime::kQuietSwitches : runtime::kPassiveSwitches;
}

}  // namespace tenvik

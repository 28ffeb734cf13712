#pragma once
// What a runtime check tries, in order, and how each installer is fetched and
// asked to run. Pure decisions; the Windows side lives in runtime_install.cpp.

#include <array>
#include <cstddef>
#include <string>

#include "runtime/runtime_rule.h"

namespace tenvik {

struct RuntimeStep {
  const wchar_t* frameworkKey;   // below HKEY_LOCAL_MACHINE
  const wchar_t* installerPath;  // path and query below the download base
};

// The Windows Desktop runtime first, then the base runtime, both for the
// 64-bit (x64) or the 32-bit (x86) runtime.
std::array<RuntimeStep, 2> runtimeSteps(bool x64);

// One step of the check for a runtime rule: met when one of probeKeys shows
// a version the rule counts; when it is not, the framework installs names is
// installed (from installerPathFor, or from the installer the image carries).
// Plain pointers to the literals of runtime_platform.h, no allocation: the
// program is to stay small.
struct RuleStep {
  RuntimeFramework installs = RuntimeFramework::desktop;
  std::array<const wchar_t*, 2> probeKeys = {};  // below HKEY_LOCAL_MACHINE; the second may be null
};

// At most two steps, the first count of steps, in order.
struct RuleSteps {
  std::array<RuleStep, 2> steps = {};
  std::size_t count = 0;
  const RuleStep* begin() const { return steps.data(); }
  const RuleStep* end() const { return steps.data() + count; }
};

// The steps for rule on x64 or x86 Windows. The standard rule and any
// "desktop+base" rule: the Desktop framework, then the base framework, each
// probed by its own key alone (the standard rule's are the literals of
// runtimeSteps). A "desktop" rule: the Desktop framework alone. A "base"
// rule: the base framework, met by the base or the Desktop key, since the
// Desktop runtime brings the base one along.
RuleSteps ruleSteps(const RuntimeRule& rule, bool x64);

// The installer's path and query for framework, architecture and major:
// for major 6 the historical literals ("/dotnet/desktop?arch=amd64"); for
// any other the same with "&version=N" added ("/dotnet?arch=x86&version=10").
std::wstring installerPathFor(RuntimeFramework framework, bool x64, unsigned long major);

// The runtime vendor's page for installing major N by hand, named in the
// failure message: ".../download/dotnet/N.0".
std::wstring manualDownloadPage(unsigned long major);

// The download base (scheme and host, optionally a port) followed by the
// installer's path and query. A base given with a trailing slash does not
// double it.
std::wstring installerAddress(const std::wstring& downloadBase, const std::wstring& installerPath);

// Where an image downloads its runtime installers from: the runtime vendor's
// permanent addresses, or a server of the release's own that answers the
// paths of installerPathFor below its base (scheme and host, optionally a
// port: "https://downloads.example.com").
struct DownloadSource {
  bool vendor = false;
  std::wstring base;  // unused with vendor
};

// The runtime vendor's permanent address of the newest installer of major for
// framework and architecture, which the vendor answers with a redirect to the
// file: "https://aka.ms/dotnet/10.0/windowsdesktop-runtime-win-x64.exe",
// "https://aka.ms/dotnet/6.0/dotnet-runtime-win-x86.exe".
std::wstring vendorInstallerAddress(RuntimeFramework framework, bool x64, unsigned long major);

// The address source names for framework, architecture and major: the
// vendor's, or the base's installerAddress of installerPathFor.
std::wstring installerAddressFor(const DownloadSource& source, RuntimeFramework framework, bool x64,
                                 unsigned long major);

// The runtime a download brings, as the progress window's heading names it:
// "the .NET Desktop Runtime 10 (x64)", "the .NET Runtime 6 (x86)".
std::wstring downloadSubject(RuntimeFramework framework, unsigned long major, bool x64);

// "/quiet /norestart" when silent (no window at all), else "/passive /norestart"
// (a progress display that asks nothing).
std::wstring installerSwitches(bool silent);

}  // namespace tenvik

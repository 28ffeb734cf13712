#pragma once
// What a runtime check tries, in order, and how each installer is fetched and
// asked to run. Pure decisions; the Windows side lives in runtime_install.cpp.

#include <array>
#include <string>

namespace tenvik {

struct RuntimeStep {
  const wchar_t* frameworkKey;   // below HKEY_LOCAL_MACHINE
  const wchar_t* installerPath;  // path and query below the download base
};

// The Windows Desktop runtime first, then the base runtime, both for the
// 64-bit (x64) or the 32-bit (x86) runtime.
std::array<RuntimeStep, 2> runtimeSteps(bool x64);

// The download base (scheme and host, optionally a port) followed by the
// installer's path and query. A base given with a trailing slash does not
// double it.
std::wstring installerAddress(const std::wstring& downloadBase, const std::wstring& installerPath);

// "/quiet /norestart" when silent (no window at all), else "/passive /norestart"
// (a progress display that asks nothing).
std::wstring installerSwitches(bool silent);

}  // namespace tenvik

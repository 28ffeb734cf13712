#pragma once
#include <windows.h>

#include <string>

#include "runtime/runtime_rule.h"

namespace tenvik {

// True when the framework key (below HKEY_LOCAL_MACHINE) exists and one of its
// value names is a version 6 runtime.
bool isRuntimeInstalled(const std::wstring& frameworkKey);

// The same for rule: one of the value names counts for it (countsForRule).
// For the standard rule this is the call above.
bool isRuntimeInstalled(const std::wstring& frameworkKey, const RuntimeRule& rule);

// InstallLocation of the install key (below HKEY_LOCAL_MACHINE), read by the
// two-call protocol; empty on any failure.
std::wstring readInstallLocation(const std::wstring& installKey);

}  // namespace tenvik

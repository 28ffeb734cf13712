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

// One call of the string-value protocol on an open key: buffer may be null;
// count is the buffer's capacity in units on entry and the value's length in
// units on return. Returns 0, the platform's error code, or ERROR_INVALID_DATA
// for a value that is not a terminated REG_SZ/REG_EXPAND_SZ string.
LONG readRegistryString(HKEY key, const wchar_t* valueName, wchar_t* buffer, DWORD& count);

// A string value of an open key, read by two calls of the protocol above;
// empty on any failure.
std::wstring readStringValue(HKEY key, const wchar_t* valueName);

// InstallLocation of the install key (below HKEY_LOCAL_MACHINE), read by the
// two-call protocol; empty on any failure.
std::wstring readInstallLocation(const std::wstring& installKey);

}  // namespace tenvik

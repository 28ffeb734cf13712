#pragma once
// DLLs that are not KnownDLLs (winhttp, wintrust, crypt32), loaded from the
// system directory only. A program that imported them would, run elevated
// from a downloads folder, load any copy planted beside it instead.

#include <windows.h>

namespace tenvik {

// Loads name (a bare file name such as L"wintrust.dll") from the system
// directory, its own imports resolved there too. Returns the module, which
// the caller frees, or null when it cannot be loaded from there.
HMODULE loadSystemLibrary(const wchar_t* name);

// Looks up name in module into function; false when it is missing.
template <typename Function>
bool resolveFunction(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

}  // namespace tenvik

#pragma once
#include <string>

namespace tenvik {

// Makes sure a .NET 6 runtime is installed for 64-bit (x64) or 32-bit (x86)
// Windows: the Windows Desktop runtime first, the base runtime as fallback,
// each downloaded and installed when the registry does not show it. silent
// picks the installer switches. True when a runtime shows up at the end.
bool ensureRuntimeX64(bool silent);
bool ensureRuntimeX86(bool silent);

// One step of the above: probe frameworkKey, install from installerUrl when
// missing, and probe again. The second probe alone decides.
bool ensureRuntime(const std::wstring& frameworkKey, const std::wstring& installerUrl, bool silent);

// Downloads the installer at installerUrl (within the build's download limit)
// into the temporary directory, holds the file against changes, checks that
// the build's installer signer signed it, runs it with arguments, waits for
// it and deletes it again. A failed download or check runs nothing; the file
// is deleted all the same.
void installRuntime(const std::wstring& installerUrl, const std::wstring& arguments);

}  // namespace tenvik

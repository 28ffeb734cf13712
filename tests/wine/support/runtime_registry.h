#pragma once
// The registry entries a .NET runtime install leaves, as a test seeds them.
// Written through the 32-bit registry view, where the runtime's installers
// keep them on 64-bit Windows too; the bootstrapper reads them from there.

#include <string>

namespace tenvik::test {

enum class RuntimeArch { X64, X86 };

// Adds a version value (such as "6.0.36") to a framework
// ("Microsoft.WindowsDesktop.App" or "Microsoft.NETCore.App").
void registerFramework(RuntimeArch arch, const std::wstring& framework, const std::wstring& version);
void setInstallLocation(RuntimeArch arch, const std::wstring& location);
// Removes every runtime entry of both architectures.
void clearRuntimeRegistrations();

// Copies the stand-in host into dir as dotnet.exe; returns its path.
std::wstring installFakeHost(const std::wstring& dir);

}  // namespace tenvik::test

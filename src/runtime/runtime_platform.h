#pragma once
// What the system relies on of the .NET runtime: where its installers leave
// their registry entries, and how its installer is asked to run.

namespace tenvik::runtime {

// The program is 32-bit: on 64-bit Windows it names the 64-bit runtime's
// entries through WOW6432Node explicitly, with no registry-view flag.
inline constexpr const wchar_t* kInstallKeyX64 = L"SOFTWARE\\WOW6432Node\\dotnet\\Setup\\InstalledVersions\\x64";
inline constexpr const wchar_t* kInstallKeyX86 = L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x86";

inline constexpr const wchar_t* kDesktopFrameworkX64 =
    L"SOFTWARE\\WOW6432Node\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx\\Microsoft.WindowsDesktop.App";
inline constexpr const wchar_t* kBaseFrameworkX64 =
    L"SOFTWARE\\WOW6432Node\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx\\Microsoft.NETCore.App";
inline constexpr const wchar_t* kDesktopFrameworkX86 =
    L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x86\\sharedfx\\Microsoft.WindowsDesktop.App";
inline constexpr const wchar_t* kBaseFrameworkX86 =
    L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x86\\sharedfx\\Microsoft.NETCore.App";

inline constexpr const wchar_t* kInstallLocationValue = L"InstallLocation";
inline constexpr const wchar_t* kHostExecutable = L"dotnet.exe";

// Installer paths below the download base (a setting of the image).
inline constexpr const wchar_t* kDesktopInstallerPathX64 = L"/dotnet/desktop?arch=amd64";
inline constexpr const wchar_t* kBaseInstallerPathX64 = L"/dotnet?arch=amd64";
inline constexpr const wchar_t* kDesktopInstallerPathX86 = L"/dotnet/desktop?arch=x86";
inline constexpr const wchar_t* kBaseInstallerPathX86 = L"/dotnet?arch=x86";

// The runtime vendor's permanent addresses: this, the major, ".0/", the file
// name of the newest installer of that major.
inline constexpr const wchar_t* kVendorInstallerBase = L"https://aka.ms/dotnet/";

inline constexpr const wchar_t* kQuietSwitches = L"/quiet /norestart";
inline constexpr const wchar_t* kPassiveSwitches = L"/passive /norestart";
inline constexpr const wchar_t* kInstallerFileName = L"DotNET-Setup.exe";

// Public page for installing the runtime by hand, named in the failure message.
inline constexpr const wchar_t* kManualDownloadPage = L"https://dotnet.microsoft.com/download/dotnet/6.0";

}  // namespace tenvik::runtime

#include "support/runtime_registry.h"

#include <windows.h>

#include <stdexcept>

#include "support/wine_support.h"

namespace tenvik::test {
namespace {

std::wstring installKey(RuntimeArch arch) {
  return arch == RuntimeArch::X64 ? L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x64"
                                  : L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x86";
}

}  // namespace

void registerFramework(RuntimeArch arch, const std::wstring& framework, const std::wstring& version) {
  setRegistryDword(HKEY_LOCAL_MACHINE, installKey(arch) + L"\\sharedfx\\" + framework, version, 1,
                   KEY_WOW64_32KEY);
}

void setInstallLocation(RuntimeArch arch, const std::wstring& location) {
  setRegistryString(HKEY_LOCAL_MACHINE, installKey(arch), L"InstallLocation", location, REG_SZ,
                    KEY_WOW64_32KEY);
}

void clearRuntimeRegistrations() {
  deleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\dotnet", KEY_WOW64_32KEY);
  deleteRegistryTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\dotnet", KEY_WOW64_64KEY);
}

std::wstring installFakeHost(const std::wstring& dir) {
  CreateDirectoryW(dir.c_str(), nullptr);
  const std::wstring host = dir + L"\\dotnet.exe";
  if (!CopyFileW(buildPath(L"standins\\fake_dotnet.exe").c_str(), host.c_str(), FALSE)) {
    throw std::runtime_error("cannot install the stand-in host");
  }
  return host;
}

}  // namespace tenvik::test

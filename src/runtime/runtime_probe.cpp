#include "runtime/runtime_probe.h"

#include <vector>

#include "runtime/runtime_platform.h"
#include "runtime/version_pattern.h"
#include "system/registry_text.h"
#include "system/unique_handle.h"

namespace tenvik {

bool isRuntimeInstalled(const std::wstring& frameworkKey) {
  return isRuntimeInstalled(frameworkKey, RuntimeRule::standard());
}

bool isRuntimeInstalled(const std::wstring& frameworkKey, const RuntimeRule& rule) {
  UniqueRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, frameworkKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return false;
  }
  DWORD valueCount = 0;
  DWORD longestName = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount,
                       &longestName, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  std::vector<wchar_t> name(static_cast<size_t>(longestName) + 1);
  for (DWORD index = 0; index < valueCount; ++index) {
    DWORD nameSize = longestName + 1;
    if (RegEnumValueW(key.get(), index, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      continue;  // renamed or removed meanwhile: the other names still answer
    }
    // The last unit is only ever written with a terminator, so the name ends
    // inside the buffer.
    if (countsForRule(rule, std::wstring(name.data()))) return true;
  }
  return false;
}

std::wstring readInstallLocation(const std::wstring& installKey) {
  UniqueRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, installKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  return readStringValue(key.get(), runtime::kInstallLocationValue);
}

}  // namespace tenvik

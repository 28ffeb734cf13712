#include "runtime/runtime_probe.h"

#include <vector>

#include "runtime/runtime_platform.h"
#include "runtime/version_pattern.h"
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

LONG readRegistryString(HKEY key, const wchar_t* valueName, wchar_t* buffer, DWORD& count) {
  const DWORD capacity = count;
  DWORD bytes = capacity * sizeof(wchar_t);
  count = 0;
  DWORD type = REG_NONE;
  const LONG status =
      RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  if (buffer) {
    if (bytes == 0) {
      if (capacity > 0) buffer[0] = L'\0';
    } else if (bytes % sizeof(wchar_t) != 0 || buffer[bytes / sizeof(wchar_t) - 1] != L'\0') {
      // Unterminated or cut data would be read past its end by anyone
      // treating the buffer as a string.
      return ERROR_INVALID_DATA;
    }
  }
  count = bytes / sizeof(wchar_t);
  return ERROR_SUCCESS;
}

std::wstring readStringValue(HKEY key, const wchar_t* valueName) {
  DWORD count = 0;
  if (readRegistryString(key, valueName, nullptr, count) != ERROR_SUCCESS) return std::wstring();
  std::vector<wchar_t> buffer(count > 0 ? count : 1);
  if (readRegistryString(key, valueName, buffer.data(), count) != ERROR_SUCCESS) return std::wstring();
  return std::wstring(buffer.data());
}

std::wstring readInstallLocation(const std::wstring& installKey) {
  UniqueRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, installKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  return readStringValue(key.get(), runtime::kInstallLocationValue);
}

}  // namespace tenvik

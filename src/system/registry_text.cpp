#include "system/registry_text.h"

#include <vector>

namespace tenvik {

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

}  // namespace tenvik

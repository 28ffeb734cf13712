#include "system/system_library.h"

#include <string>

#include "system/path.h"

namespace tenvik {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

HMODULE loadSystemLibrary(const wchar_t* name) {
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Windows 7 without KB2533623 does not know the flag and says so; there the
  // full path does the same, and the altered search order keeps the DLL's own
  // imports to the system directory as well.
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  wchar_t directory[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return nullptr;
  const std::wstring path = joinPath(std::wstring(directory, length), name);
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace tenvik

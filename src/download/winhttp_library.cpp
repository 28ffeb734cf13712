#include "download/winhttp_library.h"

#include <string>

#include "system/path.h"

namespace tenvik {
namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

HMODULE loadFromSystemDirectory() {
  HMODULE module = LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Windows 7 without KB2533623 does not know the flag and says so; there the
  // full path does the same, and the altered search order keeps winhttp's own
  // imports to the system directory as well.
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  wchar_t directory[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return nullptr;
  const std::wstring path = joinPath(std::wstring(directory, length), L"winhttp.dll");
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Function>
bool resolve(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

}  // namespace

bool loadWinHttp(WinHttpLibrary& library) {
  WinHttpLibrary loaded;
  loaded.module.reset(loadFromSystemDirectory());
  if (!loaded.module) return false;
  const HMODULE m = loaded.module.get();
  const bool complete = resolve(m, "WinHttpGetIEProxyConfigForCurrentUser", loaded.getIEProxyConfigForCurrentUser) &&
                        resolve(m, "WinHttpOpen", loaded.open) &&
                        resolve(m, "WinHttpGetProxyForUrl", loaded.getProxyForUrl) &&
                        resolve(m, "WinHttpSetOption", loaded.setOption) &&
                        resolve(m, "WinHttpConnect", loaded.connect) &&
                        resolve(m, "WinHttpOpenRequest", loaded.openRequest) &&
                        resolve(m, "WinHttpSendRequest", loaded.sendRequest) &&
                        resolve(m, "WinHttpReceiveResponse", loaded.receiveResponse) &&
                        resolve(m, "WinHttpQueryHeaders", loaded.queryHeaders) &&
                        resolve(m, "WinHttpReadData", loaded.readData) &&
                        resolve(m, "WinHttpCloseHandle", loaded.closeHandle);
  if (!complete) return false;
  library = std::move(loaded);
  return true;
}

}  // namespace tenvik

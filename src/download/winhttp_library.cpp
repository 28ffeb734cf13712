#include "download/winhttp_library.h"

#include "system/system_library.h"

namespace tenvik {

bool loadWinHttp(WinHttpLibrary& library) {
  WinHttpLibrary loaded;
  loaded.module.reset(loadSystemLibrary(L"winhttp.dll"));
  if (!loaded.module) return false;
  const HMODULE m = loaded.module.get();
  const bool complete =
      resolveFunction(m, "WinHttpGetIEProxyConfigForCurrentUser", loaded.getIEProxyConfigForCurrentUser) &&
      resolveFunction(m, "WinHttpOpen", loaded.open) &&
      resolveFunction(m, "WinHttpGetProxyForUrl", loaded.getProxyForUrl) &&
      resolveFunction(m, "WinHttpSetOption", loaded.setOption) &&
      resolveFunction(m, "WinHttpSetTimeouts", loaded.setTimeouts) &&
      resolveFunction(m, "WinHttpConnect", loaded.connect) &&
      resolveFunction(m, "WinHttpOpenRequest", loaded.openRequest) &&
      resolveFunction(m, "WinHttpSendRequest", loaded.sendRequest) &&
      resolveFunction(m, "WinHttpReceiveResponse", loaded.receiveResponse) &&
      resolveFunction(m, "WinHttpQueryHeaders", loaded.queryHeaders) &&
      resolveFunction(m, "WinHttpReadData", loaded.readData) &&
      resolveFunction(m, "WinHttpCloseHandle", loaded.closeHandle);
  if (!complete) return false;
  // WinHTTP finishes some work on threads of its own that still run its code
  // after the call that started them returned (a name lookup it gave up on,
  // say): unloading it then pulls that code from under them, and the process
  // faults. So once loaded it stays loaded until the process ends.
  HMODULE pinned = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                     reinterpret_cast<LPCWSTR>(loaded.open), &pinned);
  library = std::move(loaded);
  return true;
}

}  // namespace tenvik

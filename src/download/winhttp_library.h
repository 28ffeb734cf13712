#pragma once
// WinHTTP, loaded from the system directory (system/system_library.h) and
// reached only through the function pointers below.

#include <windows.h>
#include <winhttp.h>

#include <utility>

#include "system/unique_handle.h"

namespace tenvik {

struct WinHttpLibrary {
  UniqueModule module;  // keep it loaded while any handle below is open
  decltype(&::WinHttpGetIEProxyConfigForCurrentUser) getIEProxyConfigForCurrentUser = nullptr;
  decltype(&::WinHttpOpen) open = nullptr;
  decltype(&::WinHttpGetProxyForUrl) getProxyForUrl = nullptr;
  decltype(&::WinHttpSetOption) setOption = nullptr;
  decltype(&::WinHttpSetTimeouts) setTimeouts = nullptr;
  decltype(&::WinHttpConnect) connect = nullptr;
  decltype(&::WinHttpOpenRequest) openRequest = nullptr;
  decltype(&::WinHttpSendRequest) sendRequest = nullptr;
  decltype(&::WinHttpReceiveResponse) receiveResponse = nullptr;
  decltype(&::WinHttpQueryHeaders) queryHeaders = nullptr;
  decltype(&::WinHttpReadData) readData = nullptr;
  decltype(&::WinHttpCloseHandle) closeHandle = nullptr;
};

// Fills library and returns true when winhttp.dll was loaded from the system
// directory and has every function; otherwise returns false with nothing
// loaded.
bool loadWinHttp(WinHttpLibrary& library);

// Owns one WinHTTP handle (session, connection or request) and closes it
// through the loaded library, keeping the caller's last-error value. The
// library must outlive it.
class UniqueInternetHandle {
 public:
  UniqueInternetHandle() = default;
  UniqueInternetHandle(const WinHttpLibrary& library, HINTERNET handle)
      : close_(library.closeHandle), handle_(handle) {}
  ~UniqueInternetHandle() { reset(); }

  UniqueInternetHandle(const UniqueInternetHandle&) = delete;
  UniqueInternetHandle& operator=(const UniqueInternetHandle&) = delete;
  UniqueInternetHandle(UniqueInternetHandle&& other) noexcept
      : close_(other.close_), handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueInternetHandle& operator=(UniqueInternetHandle&& other) noexcept {
    if (this != &other) {
      reset();
      close_ = other.close_;
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }

  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  void reset() {
    const HINTERNET old = std::exchange(handle_, nullptr);
    if (old != nullptr && close_ != nullptr) {
      const DWORD lastError = GetLastError();
      close_(old);
      SetLastError(lastError);
    }
  }

 private:
  decltype(&::WinHttpCloseHandle) close_ = nullptr;
  HINTERNET handle_ = nullptr;
};

}  // namespace tenvik

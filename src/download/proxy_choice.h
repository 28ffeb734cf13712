#pragma once
// How a download reaches the server, decided from the current user's proxy
// configuration (the four fields of WINHTTP_CURRENT_USER_IE_PROXY_CONFIG).
// The numeric values are WinHTTP's; the Windows side checks them against
// winhttp.h at compile time.

#include <cstdint>

namespace tenvik {

// WINHTTP_ACCESS_TYPE_*
constexpr uint32_t kAccessDefaultProxy = 0;
constexpr uint32_t kAccessNoProxy = 1;
constexpr uint32_t kAccessNamedProxy = 3;
// WINHTTP_AUTOPROXY_* and WINHTTP_AUTO_DETECT_TYPE_*
constexpr uint32_t kAutoProxyAutoDetect = 1;
constexpr uint32_t kAutoProxyConfigUrl = 2;
constexpr uint32_t kAutoDetectDhcp = 1;
constexpr uint32_t kAutoDetectDnsA = 2;

// Borrowed views of the user's configuration; WinHTTP owns the strings.
struct UserProxyConfig {
  bool autoDetect = false;
  const wchar_t* scriptUrl = nullptr;
  const wchar_t* proxyList = nullptr;
  const wchar_t* bypassList = nullptr;
};

enum class ProxyRoute {
  namedProxy,        // the user's proxy list, whatever else is set
  scriptLookup,      // auto-detection with a configuration script: the script only
  autoDetectLookup,  // auto-detection without a script: DHCP and DNS discovery
  defaultAccess,     // nothing usable; a script without auto-detection lands here
};

// A null or empty string counts as not set.
ProxyRoute chooseProxyRoute(const UserProxyConfig& config);

// What WinHttpGetProxyForUrl is asked to do on the two lookup routes
// (the fields of WINHTTP_AUTOPROXY_OPTIONS that vary).
struct AutoProxyRequest {
  uint32_t flags = 0;
  uint32_t autoDetectFlags = 0;
  const wchar_t* scriptUrl = nullptr;
};
AutoProxyRequest autoProxyRequest(const UserProxyConfig& config);

// The arguments for WinHttpOpen. Strings are borrowed from the record they
// were taken from and must outlive the call.
struct SessionAccess {
  uint32_t accessType = kAccessDefaultProxy;
  const wchar_t* proxyList = nullptr;
  const wchar_t* bypassList = nullptr;
};

// For the named-proxy and default routes.
SessionAccess sessionAccessFromUser(const UserProxyConfig& config);

// For the lookup routes, from WINHTTP_PROXY_INFO. A failed lookup, or an
// answer that names a proxy without giving one, means the default access.
SessionAccess sessionAccessFromLookup(bool lookupSucceeded, uint32_t accessType, const wchar_t* proxyList,
                                      const wchar_t* bypassList);

}  // namespace tenvik

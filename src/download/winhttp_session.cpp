#include "download/winhttp_session.h"

#include "download/proxy_choice.h"

namespace tenvik {
namespace {

static_assert(kAccessDefaultProxy == WINHTTP_ACCESS_TYPE_DEFAULT_PROXY);
static_assert(kAccessNoProxy == WINHTTP_ACCESS_TYPE_NO_PROXY);
static_assert(kAccessNamedProxy == WINHTTP_ACCESS_TYPE_NAMED_PROXY);
static_assert(kAutoProxyAutoDetect == WINHTTP_AUTOPROXY_AUTO_DETECT);
static_assert(kAutoProxyConfigUrl == WINHTTP_AUTOPROXY_CONFIG_URL);
static_assert(kAutoDetectDhcp == WINHTTP_AUTO_DETECT_TYPE_DHCP);
static_assert(kAutoDetectDnsA == WINHTTP_AUTO_DETECT_TYPE_DNS_A);

#ifndef WINHTTP_OPTION_SECURE_PROTOCOLS
#define WINHTTP_OPTION_SECURE_PROTOCOLS 84
#endif
#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 0x00000800
#endif
#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

const wchar_t kUserAgent[] = L"Tenvik/9.0";

UniqueInternetHandle openWith(const WinHttpLibrary& library, const SessionAccess& access) {
  return UniqueInternetHandle(library, library.open(kUserAgent, access.accessType, access.proxyList,
                                                    access.bypassList, 0));
}

// Windows 7 and 8 leave TLS 1.2 off by default. Versions that do not know
// TLS 1.3 refuse the whole set, so 1.2 alone is the fallback; if even that is
// refused the session is not used: the platform's defaults may include
// SSL 3.0 and TLS 1.0.
bool requireModernTls(const WinHttpLibrary& library, HINTERNET session) {
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
  if (library.setOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) return true;
  protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  return library.setOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols)) != FALSE;
}

UniqueInternetHandle openAfterLookup(const WinHttpLibrary& library, const std::wstring& url,
                                     const UserProxyConfig& user) {
  const AutoProxyRequest request = autoProxyRequest(user);
  WINHTTP_AUTOPROXY_OPTIONS options = {};
  options.dwFlags = request.flags;
  options.dwAutoDetectFlags = request.autoDetectFlags;
  options.lpszAutoConfigUrl = request.scriptUrl;
  // Whoever answers discovery on the local network would be sent the user's
  // Windows credentials if it asked for them.
  options.fAutoLogonIfChallenged = FALSE;

  WINHTTP_PROXY_INFO result = {};
  bool found = false;
  {
    // A separate session, so the lookup's state never rides along with the download.
    UniqueInternetHandle lookup(library,
                                library.open(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (lookup) found = library.getProxyForUrl(lookup.get(), url.c_str(), &options, &result) != FALSE;
  }
  const UniqueGlobalString proxyList(result.lpszProxy);
  const UniqueGlobalString bypassList(result.lpszProxyBypass);
  return openWith(library, sessionAccessFromLookup(found, result.dwAccessType, proxyList.get(), bypassList.get()));
}

}  // namespace

UniqueInternetHandle openSession(const WinHttpLibrary& library, const std::wstring& url) {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
  const bool configured = library.getIEProxyConfigForCurrentUser(&config) != FALSE;
  // Whatever the call's outcome, any string it set is ours to free.
  const UniqueGlobalString scriptUrl(config.lpszAutoConfigUrl);
  const UniqueGlobalString proxyList(config.lpszProxy);
  const UniqueGlobalString bypassList(config.lpszProxyBypass);

  UserProxyConfig user;
  if (configured) {
    user.autoDetect = config.fAutoDetect != FALSE;
    user.scriptUrl = scriptUrl.get();
    user.proxyList = proxyList.get();
    user.bypassList = bypassList.get();
  }

  UniqueInternetHandle session;
  switch (chooseProxyRoute(user)) {
    case ProxyRoute::scriptLookup:
    case ProxyRoute::autoDetectLookup:
      session = openAfterLookup(library, url, user);
      break;
    case ProxyRoute::namedProxy:
    case ProxyRoute::defaultAccess:
      session = openWith(library, sessionAccessFromUser(user));
      break;
  }
  if (session && !requireModernTls(library, session.get())) {
    const DWORD error = GetLastError();
    session.reset();
    SetLastError(error);
  }
  return session;
}

}  // namespace tenvik

#include "download/proxy_choice.h"

namespace tenvik {
namespace {

bool isSet(const wchar_t* text) { return text != nullptr && text[0] != L'\0'; }

}  // namespace

ProxyRoute chooseProxyRoute(const UserProxyConfig& config) {
  if (isSet(config.proxyList)) return ProxyRoute::namedProxy;
  if (!config.autoDetect) return ProxyRoute::defaultAccess;
  return isSet(config.scriptUrl) ? ProxyRoute::scriptLookup : ProxyRoute::autoDetectLookup;
}

AutoProxyRequest autoProxyRequest(const UserProxyConfig& config) {
  AutoProxyRequest request;
  switch (chooseProxyRoute(config)) {
    case ProxyRoute::scriptLookup:
      // Discovery would let the local network override the script the user chose.
      request.flags = kAutoProxyConfigUrl;
      request.scriptUrl = config.scriptUrl;
      break;
    case ProxyRoute::autoDetectLookup:
      request.flags = kAutoProxyAutoDetect;
      request.autoDetectFlags = kAutoDetectDhcp | kAutoDetectDnsA;
      break;
    case ProxyRoute::namedProxy:
    case ProxyRoute::defaultAccess:
      break;
  }
  return request;
}

SessionAccess sessionAccessFromUser(const UserProxyConfig& config) {
  SessionAccess access;
  if (chooseProxyRoute(config) == ProxyRoute::namedProxy) {
    access.accessType = kAccessNamedProxy;
    access.proxyList = config.proxyList;
    access.bypassList = isSet(config.bypassList) ? config.bypassList : nullptr;
  }
  return access;
}

SessionAccess sessionAccessFromLookup(bool lookupSucceeded, uint32_t accessType, const wchar_t* proxyList,
                                      const wchar_t* bypassList) {
  SessionAccess access;
  if (!lookupSucceeded) return access;
  if (accessType == kAccessNamedProxy && isSet(proxyList)) {
    access.accessType = kAccessNamedProxy;
    access.proxyList = proxyList;
    access.bypassList = isSet(bypassList) ? bypassList : nullptr;
  } else if (accessType == kAccessNoProxy) {
    access.accessType = kAccessNoProxy;
  }
  return access;
}

}  // namespace tenvik

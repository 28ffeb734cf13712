#include "download/proxy_choice.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

const wchar_t kProxy[] = L"proxy.corp:8080";
const wchar_t kBypass[] = L"<local>";
const wchar_t kScript[] = L"http://wpad.corp/proxy.pac";
const wchar_t kEmpty[] = L"";

struct UserCase {
  const char* name;
  UserProxyConfig config;
  ProxyRoute route;
  AutoProxyRequest lookup;  // expected on the lookup routes
  SessionAccess access;     // expected on the other routes
};

TEST(ProxyChoice, FollowsTheUsersConfiguration) {
  const UserCase cases[] = {
      {"a proxy list wins over auto-detection and a script", {true, kScript, kProxy, kBypass},
       ProxyRoute::namedProxy, {}, {kAccessNamedProxy, kProxy, kBypass}},
      {"a proxy list without bypass", {false, nullptr, kProxy, nullptr}, ProxyRoute::namedProxy, {},
       {kAccessNamedProxy, kProxy, nullptr}},
      {"an empty bypass list is none", {false, nullptr, kProxy, kEmpty}, ProxyRoute::namedProxy, {},
       {kAccessNamedProxy, kProxy, nullptr}},
      {"auto-detection with a script uses the script only", {true, kScript, nullptr, nullptr},
       ProxyRoute::scriptLookup, {kAutoProxyConfigUrl, 0, kScript}, {}},
      {"auto-detection without a script discovers", {true, nullptr, nullptr, kBypass},
       ProxyRoute::autoDetectLookup, {kAutoProxyAutoDetect, kAutoDetectDhcp | kAutoDetectDnsA, nullptr}, {}},
      {"an empty proxy list is none", {true, nullptr, kEmpty, nullptr}, ProxyRoute::autoDetectLookup,
       {kAutoProxyAutoDetect, kAutoDetectDhcp | kAutoDetectDnsA, nullptr}, {}},
      {"an empty script is none", {true, kEmpty, nullptr, nullptr}, ProxyRoute::autoDetectLookup,
       {kAutoProxyAutoDetect, kAutoDetectDhcp | kAutoDetectDnsA, nullptr}, {}},
      {"a script without auto-detection is ignored", {false, kScript, nullptr, kBypass},
       ProxyRoute::defaultAccess, {}, {kAccessDefaultProxy, nullptr, nullptr}},
      {"nothing set", {}, ProxyRoute::defaultAccess, {}, {kAccessDefaultProxy, nullptr, nullptr}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(chooseProxyRoute(c.config), c.route);
    if (c.route == ProxyRoute::scriptLookup || c.route == ProxyRoute::autoDetectLookup) {
      const AutoProxyRequest lookup = autoProxyRequest(c.config);
      EXPECT_EQ(lookup.flags, c.lookup.flags);
      EXPECT_EQ(lookup.autoDetectFlags, c.lookup.autoDetectFlags);
      EXPECT_EQ(lookup.scriptUrl, c.lookup.scriptUrl);
    } else {
      const SessionAccess access = sessionAccessFromUser(c.config);
      EXPECT_EQ(access.accessType, c.access.accessType);
      EXPECT_EQ(access.proxyList, c.access.proxyList);
      EXPECT_EQ(access.bypassList, c.access.bypassList);
    }
  }
}

struct LookupCase {
  const char* name;
  bool succeeded;
  uint32_t accessType;
  const wchar_t* proxyList;
  const wchar_t* bypassList;
  SessionAccess expected;
};

TEST(ProxyChoice, OpensTheSessionFromTheLookupAnswer) {
  const LookupCase cases[] = {
      {"a found proxy", true, kAccessNamedProxy, kProxy, kBypass, {kAccessNamedProxy, kProxy, kBypass}},
      {"a found proxy, empty bypass", true, kAccessNamedProxy, kProxy, kEmpty, {kAccessNamedProxy, kProxy, nullptr}},
      {"direct", true, kAccessNoProxy, nullptr, nullptr, {kAccessNoProxy, nullptr, nullptr}},
      {"a failed lookup, whatever the record says", false, kAccessNamedProxy, kProxy, kBypass,
       {kAccessDefaultProxy, nullptr, nullptr}},
      {"a named proxy without a name", true, kAccessNamedProxy, nullptr, kBypass,
       {kAccessDefaultProxy, nullptr, nullptr}},
      {"an empty name", true, kAccessNamedProxy, kEmpty, nullptr, {kAccessDefaultProxy, nullptr, nullptr}},
      {"an untouched record", true, 0, nullptr, nullptr, {kAccessDefaultProxy, nullptr, nullptr}},
      {"an unknown access type", true, 99, kProxy, nullptr, {kAccessDefaultProxy, nullptr, nullptr}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SessionAccess access = sessionAccessFromLookup(c.succeeded, c.accessType, c.proxyList, c.bypassList);
    EXPECT_EQ(access.accessType, c.expected.accessType);
    EXPECT_EQ(access.proxyList, c.expected.proxyList);
    EXPECT_EQ(access.bypassList, c.expected.bypassList);
  }
}

}  // namespace
}  // namespace tenvik

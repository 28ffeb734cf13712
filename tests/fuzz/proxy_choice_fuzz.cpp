// The proxy decisions over every shape of user configuration and lookup
// answer. Input: a byte of configuration flags (bit 0 auto-detection; bits
// 1-2, 3-4, 5-6 the script URL, the proxy list and the bypass list: 0 null,
// 1 empty, else the text), a byte for the lookup (bit 0 succeeded; bits 1-2
// and 3-4 its proxy and bypass lists as above), a byte for the lookup's
// access type (below 8 as it is, else spread over all four bytes), then the
// five texts as UTF-8, each ended by a line feed.
//
// Checked: the route is the one the header names for the configuration (a
// table of the eight shapes of what is set, not a chain of tests); the
// lookup request asks for the script alone or for discovery alone and names
// only the user's own script; a session is opened with a named proxy only
// when there is a proxy list to name, with exactly the strings it was given
// (borrowed, never others), with a bypass list only when one is set, and with
// no lists otherwise; a failed lookup always means the default access.

#include <cstdint>
#include <string>

#include "download/proxy_choice.h"
#include "fuzz_support.h"

namespace {

using namespace tenvik;

bool isSet(const wchar_t* text) { return text != nullptr && text[0] != L'\0'; }

const wchar_t* chosen(unsigned state, const std::wstring& text) {
  static const wchar_t empty[] = L"";
  return state == 0 ? nullptr : state == 1 ? empty : text.c_str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InputReader input(fuzz::bytesOf(data, size));
  const unsigned configFlags = input.byte();
  const unsigned lookupFlags = input.byte();
  const unsigned typeByte = input.byte();
  std::wstring texts[5];
  for (std::wstring& text : texts) text = fuzz::wideFromBytes(input.piece('\n'));

  UserProxyConfig config;
  config.autoDetect = (configFlags & 1) != 0;
  config.scriptUrl = chosen(configFlags >> 1 & 3, texts[0]);
  config.proxyList = chosen(configFlags >> 3 & 3, texts[1]);
  config.bypassList = chosen(configFlags >> 5 & 3, texts[2]);

  const ProxyRoute route = chooseProxyRoute(config);
  // The header's table, one row per shape of the configuration: index bit 2
  // a proxy list set, bit 1 auto-detection on, bit 0 a script URL set.
  static const ProxyRoute byShape[8] = {
      ProxyRoute::defaultAccess,     // nothing
      ProxyRoute::defaultAccess,     // a script without auto-detection
      ProxyRoute::autoDetectLookup,  // auto-detection alone
      ProxyRoute::scriptLookup,      // auto-detection with a script
      ProxyRoute::namedProxy,        ProxyRoute::namedProxy,
      ProxyRoute::namedProxy,        ProxyRoute::namedProxy,  // a proxy list, whatever else
  };
  const unsigned shape = (isSet(config.proxyList) ? 4u : 0u) | (config.autoDetect ? 2u : 0u) |
                         (isSet(config.scriptUrl) ? 1u : 0u);
  const ProxyRoute expected = byShape[shape];
  FUZZ_REQUIRE(route == expected);

  const AutoProxyRequest request = autoProxyRequest(config);
  if (route == ProxyRoute::scriptLookup) {
    FUZZ_REQUIRE(request.flags == kAutoProxyConfigUrl && request.autoDetectFlags == 0);
    FUZZ_REQUIRE(request.scriptUrl == config.scriptUrl);
  } else if (route == ProxyRoute::autoDetectLookup) {
    FUZZ_REQUIRE(request.flags == kAutoProxyAutoDetect);
    FUZZ_REQUIRE(request.autoDetectFlags == (kAutoDetectDhcp | kAutoDetectDnsA));
    FUZZ_REQUIRE(request.scriptUrl == nullptr);
  } else {
    FUZZ_REQUIRE(request.flags == 0 && request.autoDetectFlags == 0 && request.scriptUrl == nullptr);
  }

  const SessionAccess user = sessionAccessFromUser(config);
  if (route == ProxyRoute::namedProxy) {
    FUZZ_REQUIRE(user.accessType == kAccessNamedProxy && user.proxyList == config.proxyList);
    FUZZ_REQUIRE(user.bypassList == (isSet(config.bypassList) ? config.bypassList : nullptr));
  } else {
    FUZZ_REQUIRE(user.accessType == kAccessDefaultProxy);
    FUZZ_REQUIRE(user.proxyList == nullptr && user.bypassList == nullptr);
  }

  const bool succeeded = (lookupFlags & 1) != 0;
  const uint32_t accessType = typeByte < 8 ? typeByte : typeByte * 0x01010101u;
  const wchar_t* proxyList = chosen(lookupFlags >> 1 & 3, texts[3]);
  const wchar_t* bypassList = chosen(lookupFlags >> 3 & 3, texts[4]);
  const SessionAccess looked = sessionAccessFromLookup(succeeded, accessType, proxyList, bypassList);
  if (succeeded && accessType == kAccessNamedProxy && isSet(proxyList)) {
    FUZZ_REQUIRE(looked.accessType == kAccessNamedProxy && looked.proxyList == proxyList);
    FUZZ_REQUIRE(looked.bypassList == (isSet(bypassList) ? bypassList : nullptr));
  } else {
    const uint32_t type = succeeded && accessType == kAccessNoProxy ? kAccessNoProxy : kAccessDefaultProxy;
    FUZZ_REQUIRE(looked.accessType == type && looked.proxyList == nullptr && looked.bypassList == nullptr);
  }
  return 0;
}

// Download addresses. The input is the address as UTF-8 (bytes that are no
// UTF-8 become lone surrogates). Checked against the grammar the header
// states, written out here on its own: an address is accepted exactly when it
// is http or https in any letter case, "://", host [":" digits] "/" rest with a non-empty host free of
// "/" and ":" and a port of at most 65535; an accepted address's parts
// re-compose to it; TLS exactly for the scheme https in any letter case; the
// port is the one written, 0 for an empty port text, else the scheme's.

#include <cstdint>
#include <optional>
#include <string>

#include "download/url_parts.h"
#include "fuzz_support.h"

namespace {

struct Grammar {
  std::wstring scheme;
  std::wstring host;
  std::optional<std::wstring> portText;
  std::wstring rest;
};

bool isLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

std::wstring lower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

std::optional<Grammar> parse(const std::wstring& url) {
  const std::size_t separator = url.find(L"://");
  if (separator == std::wstring::npos || separator == 0) return std::nullopt;
  Grammar g;
  g.scheme = url.substr(0, separator);
  for (const wchar_t c : g.scheme) {
    if (!isLetter(c)) return std::nullopt;
  }
  const std::wstring lowered = lower(g.scheme);
  if (lowered != L"http" && lowered != L"https") return std::nullopt;
  const std::wstring afterScheme = url.substr(separator + 3);
  const std::size_t slash = afterScheme.find(L'/');
  if (slash == std::wstring::npos) return std::nullopt;
  const std::wstring authority = afterScheme.substr(0, slash);
  g.rest = afterScheme.substr(slash);
  const std::size_t colon = authority.find(L':');
  g.host = authority.substr(0, colon);
  if (g.host.empty()) return std::nullopt;
  if (colon != std::wstring::npos) {
    g.portText = authority.substr(colon + 1);
    if (g.portText->find_first_not_of(L"0123456789") != std::wstring::npos) return std::nullopt;
    const std::size_t significant = g.portText->find_first_not_of(L'0');
    const std::wstring digits = significant == std::wstring::npos ? L"" : g.portText->substr(significant);
    if (digits.size() > 5 || (digits.size() == 5 && digits > L"65535")) return std::nullopt;
  }
  return g;
}


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring url = tenvik::fuzz::wideFromBytes(tenvik::fuzz::bytesOf(data, size));
  const std::optional<tenvik::UrlParts> parts = tenvik::splitUrl(url);
  const std::optional<Grammar> expected = parse(url);
  FUZZ_REQUIRE(parts.has_value() == expected.has_value());
  if (!parts) return 0;

  FUZZ_REQUIRE(parts->host == expected->host);
  FUZZ_REQUIRE(parts->host.find_first_of(L"/:") == std::wstring::npos);
  FUZZ_REQUIRE(parts->objectName == expected->rest && parts->objectName.front() == L'/');
  FUZZ_REQUIRE(parts->secure == (lower(expected->scheme) == L"https"));
  std::wstring recomposed = expected->scheme + L"://" + parts->host;
  if (expected->portText) {
    recomposed += L":" + *expected->portText;
    const std::uint16_t port = expected->portText->empty()
                                   ? 0
                                   : static_cast<std::uint16_t>(std::stoul(std::string(
                                         expected->portText->begin(), expected->portText->end())));
    FUZZ_REQUIRE(parts->port == port);
  } else {
    FUZZ_REQUIRE(parts->port == (parts->secure ? 443 : 80));
  }
  recomposed += parts->objectName;
  FUZZ_REQUIRE(recomposed == url);
  return 0;
}

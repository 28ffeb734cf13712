#include "download/url_parts.h"

#include <cwctype>

#include "download/decimal_text.h"

namespace tenvik {
namespace {

bool isHttpsScheme(const std::wstring& url, size_t schemeEnd) {
  static const wchar_t kHttps[] = L"https:";
  if (schemeEnd != sizeof(kHttps) / sizeof(kHttps[0]) - 1) return false;
  for (size_t i = 0; i < schemeEnd; ++i) {
    if (static_cast<wchar_t>(std::towlower(url[i])) != kHttps[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<UrlParts> splitUrl(const std::wstring& url) {
  const size_t slashes = url.find(L"//");
  if (slashes == std::wstring::npos) return std::nullopt;
  const size_t hostStart = slashes + 2;
  const size_t pathStart = url.find(L'/', hostStart);
  if (pathStart == std::wstring::npos) return std::nullopt;

  UrlParts parts;
  parts.secure = isHttpsScheme(url, slashes);
  parts.objectName = url.substr(pathStart);

  // A ":" in the path or query is no port separator.
  const size_t colon = url.find(L':', hostStart);
  if (colon != std::wstring::npos && colon < pathStart) {
    parts.host = url.substr(hostStart, colon - hostStart);
    const LeadingDecimal port =
        parseLeadingDecimal(std::wstring_view(url).substr(colon + 1, pathStart - colon - 1));
    // A port that does not fit would otherwise be cut to some other port.
    if (port.overflow || port.value < 0 || port.value > 65535) return std::nullopt;
    parts.port = static_cast<uint16_t>(port.value);
  } else {
    parts.host = url.substr(hostStart, pathStart - hostStart);
    parts.port = parts.secure ? 443 : 80;
  }
  if (parts.host.empty()) return std::nullopt;
  return parts;
}

}  // namespace tenvik

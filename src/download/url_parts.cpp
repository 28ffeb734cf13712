#include "download/url_parts.h"

#include <cwctype>
#include <string_view>

#include "download/decimal_text.h"

namespace tenvik {
namespace {

bool isAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool isAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool isScheme(std::wstring_view scheme, std::wstring_view lowerName) {
  if (scheme.size() != lowerName.size()) return false;
  for (size_t i = 0; i < scheme.size(); ++i) {
    if (static_cast<wchar_t>(std::towlower(scheme[i])) != lowerName[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<UrlParts> splitUrl(const std::wstring& url) {
  const std::wstring_view text(url);
  size_t schemeEnd = 0;
  while (schemeEnd < text.size() && isAsciiLetter(text[schemeEnd])) ++schemeEnd;
  if (schemeEnd == 0 || text.substr(schemeEnd, 3) != L"://") return std::nullopt;
  const size_t hostStart = schemeEnd + 3;
  const size_t pathStart = text.find(L'/', hostStart);
  if (pathStart == std::wstring_view::npos) return std::nullopt;

  const std::wstring_view scheme = text.substr(0, schemeEnd);
  const bool secure = isScheme(scheme, L"https");
  // Any other scheme is refused rather than fetched as plain HTTP: a typo such
  // as "htps" would otherwise download in the clear.
  if (!secure && !isScheme(scheme, L"http")) return std::nullopt;

  UrlParts parts;
  parts.secure = secure;
  parts.objectName = url.substr(pathStart);

  // A ":" in the path or query is no port separator.
  const size_t colon = text.find(L':', hostStart);
  if (colon != std::wstring_view::npos && colon < pathStart) {
    parts.host = url.substr(hostStart, colon - hostStart);
    const std::wstring_view portText = text.substr(colon + 1, pathStart - colon - 1);
    // Digits only: blanks, signs or trailing text in a port are a malformed
    // address, not a port to be read as well as can be.
    for (const wchar_t c : portText) {
      if (!isAsciiDigit(c)) return std::nullopt;
    }
    const LeadingDecimal port = parseLeadingDecimal(portText);
    // A port that does not fit would otherwise be cut to some other port.
    if (port.overflow || port.value > 65535) return std::nullopt;
    parts.port = static_cast<uint16_t>(port.value);
  } else {
    parts.host = url.substr(hostStart, pathStart - hostStart);
    parts.port = parts.secure ? 443 : 80;
  }
  if (parts.host.empty()) return std::nullopt;
  return parts;
}

}  // namespace tenvik

#pragma once
// Splits a download address into what WinHttpConnect and WinHttpOpenRequest
// need. The callers pass complete literals of the form
// scheme://host[:port]/path?query; anything else is refused, not guessed at.

#include <cstdint>
#include <optional>
#include <string>

namespace tenvik {

struct UrlParts {
  bool secure = false;  // https: the request goes over TLS
  std::wstring host;
  // From the address, else 443 for https and 80 otherwise. A ":" without
  // digits gives 0, which WinHTTP takes as the scheme's default port.
  uint16_t port = 0;
  std::wstring objectName;  // from the first "/" after the host: path and query
};

// Empty when the address has no "//", no host, no "/" after the host, or a
// port outside 0..65535.
std::optional<UrlParts> splitUrl(const std::wstring& url);

}  // namespace tenvik

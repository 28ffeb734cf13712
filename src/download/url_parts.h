#pragma once
// Splits a download address into what WinHttpConnect and WinHttpOpenRequest
// need. The callers pass complete literals of the form
// scheme://host[:port]/path?query; anything else is refused, not guessed at.

#include <cstdint>
#include <optional>
#include <string>

namespace tenvik {

struct UrlParts {
  bool secure = false;  // https (any letter case): the request goes over TLS
  std::wstring host;
  // From the address, else 443 for https and 80 for http. A ":" with no
  // port text after it gives 0, which WinHTTP takes as the scheme's default
  // port.
  uint16_t port = 0;
  std::wstring objectName;  // from the first "/" after the host: path and query
};

// Empty unless the address is, in this order: the scheme http or https (ASCII,
// any letter case; every other scheme is refused), "://", a host of at least one unit (neither "/" nor ":" among
// them), optionally ":" and a port text of nothing but the digits 0-9 with a
// value of at most 65535, then "/" and the rest. So the parts re-compose to
// the address: scheme "://" host [":" port text] objectName.
std::optional<UrlParts> splitUrl(const std::wstring& url);

}  // namespace tenvik

#pragma once
// The WinHTTP session of one download: user agent "Tenvik/9.0", synchronous,
// routed the way the current user's proxy configuration says.

#include <string>

#include "download/winhttp_library.h"

namespace tenvik {

// Returns the open session, requiring TLS 1.2 or newer (1.2 and 1.3, else 1.2
// alone), or an empty handle when WinHttpOpen failed or the session refused
// both protocol sets (the last error is then the refusal's). url
// is the full address (scheme included), which an automatic proxy lookup
// needs. Every string WinHTTP hands over on the way is freed before return.
UniqueInternetHandle openSession(const WinHttpLibrary& library, const std::wstring& url);

}  // namespace tenvik

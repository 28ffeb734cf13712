#pragma once
// Which final HTTP status makes a response body a download. An error page is
// never an installer, however faithfully it arrives.

#include <cstdint>
#include <optional>
#include <string>

namespace tenvik {

// statusKnown is false when the status could not be read at all.
bool isDownloadStatus(bool statusKnown, uint32_t status);

// Whether the response to a request sent over TLS (requestedSecure) may be
// taken, given the address it finally came from after redirects (nothing
// when that cannot be read): an https download never ends on a plain http
// address, where anyone on the way could have swapped it. A plain request
// may end anywhere.
bool keepsTransportSecurity(bool requestedSecure, const std::optional<std::wstring>& finalUrl);

}  // namespace tenvik

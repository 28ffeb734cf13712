#include "download/response_status.h"

#include "download/url_parts.h"

namespace tenvik {

bool isDownloadStatus(bool statusKnown, uint32_t status) { return statusKnown && status == 200; }

bool keepsTransportSecurity(bool requestedSecure, const std::optional<std::wstring>& finalUrl) {
  if (!requestedSecure) return true;
  if (!finalUrl) return false;
  const std::optional<UrlParts> parts = splitUrl(*finalUrl);
  return parts && parts->secure;
}

}  // namespace tenvik

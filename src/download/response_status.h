#pragma once
// Which final HTTP status makes a response body a download. An error page is
// never an installer, however faithfully it arrives.

#include <cstdint>

namespace tenvik {

// statusKnown is false when the status could not be read at all.
bool isDownloadStatus(bool statusKnown, uint32_t status);

}  // namespace tenvik

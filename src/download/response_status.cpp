#include "download/response_status.h"

namespace tenvik {

bool isDownloadStatus(bool statusKnown, uint32_t status) { return statusKnown && status == 200; }

}  // namespace tenvik

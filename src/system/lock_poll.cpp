#include "system/lock_poll.h"

namespace tenvik {

long long pauseBeforeAskingAgain(unsigned long long elapsedMs, unsigned long waitMs, unsigned long pollMs) {
  if (waitMs == kWaitWithoutBound) return pollMs;
  if (elapsedMs >= waitMs) return -1;
  const unsigned long long left = waitMs - elapsedMs;
  return static_cast<long long>(left < pollMs ? left : pollMs);
}

}  // namespace tenvik

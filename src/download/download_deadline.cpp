#include "download/download_deadline.h"

#include <algorithm>

namespace tenvik {
namespace {

uint32_t boundedBy(uint32_t timeoutMs, uint32_t limitMs) { return std::max<uint32_t>(1, std::min(timeoutMs, limitMs)); }

}  // namespace

SessionTimeouts sessionTimeouts(uint32_t limitMs) {
  SessionTimeouts timeouts;
  timeouts.resolveMs = boundedBy(kResolveTimeoutMs, limitMs);
  timeouts.connectMs = boundedBy(kConnectTimeoutMs, limitMs);
  timeouts.sendMs = boundedBy(kSendTimeoutMs, limitMs);
  timeouts.receiveMs = boundedBy(kReceiveTimeoutMs, limitMs);
  return timeouts;
}

uint32_t limitMilliseconds(uint32_t limitSeconds) {
  // 0xFFFFFFFF is INFINITE to WaitForSingleObject.
  constexpr uint64_t kLongest = 0xFFFFFFFEu;
  const uint64_t ms = static_cast<uint64_t>(limitSeconds) * 1000u;
  return static_cast<uint32_t>(std::clamp<uint64_t>(ms, 1, kLongest));
}

bool deadlinePassed(uint64_t startMs, uint64_t nowMs, uint32_t limitMs) {
  // A clock read before the start (not for a monotonic tick count, but cheap
  // to rule out) counts as no time used.
  return nowMs >= startMs && nowMs - startMs >= limitMs;
}

}  // namespace tenvik

#pragma once
// How long one download may take. WinHTTP's own time-outs bound each wait
// for the network; the limit bounds the download as a whole, so a server that
// drips its body, or a handshake that WinHTTP never gives up on, cannot hold
// the run either.

#include <cstdint>

namespace tenvik {

// WinHTTP's time-outs on every session, in milliseconds: resolving the host,
// connecting, sending the request, and each wait for response data.
constexpr uint32_t kResolveTimeoutMs = 30000;
constexpr uint32_t kConnectTimeoutMs = 30000;
constexpr uint32_t kSendTimeoutMs = 30000;
constexpr uint32_t kReceiveTimeoutMs = 30000;

struct SessionTimeouts {
  uint32_t resolveMs = 0;
  uint32_t connectMs = 0;
  uint32_t sendMs = 0;
  uint32_t receiveMs = 0;
};

// The time-outs above, each cut to the whole download's limit when that is
// shorter, so that a single wait never outlasts the download; never 0, which
// WinHTTP would take as no time-out at all.
SessionTimeouts sessionTimeouts(uint32_t limitMs);

// A limit in seconds as milliseconds for a wait, saturating below INFINITE;
// 0 seconds gives 1 ms, never a wait without end.
uint32_t limitMilliseconds(uint32_t limitSeconds);

// Whether a download that started at startMs (a tick count) has used up
// limitMs by nowMs. Tick counts are taken as 64-bit values, which do not wrap.
bool deadlinePassed(uint64_t startMs, uint64_t nowMs, uint32_t limitMs);

}  // namespace tenvik

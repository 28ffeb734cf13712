#pragma once
// The waiting rhythm for a lock that can only be asked for again, not
// waited on (machine_mutex.cpp: a private namespace another run created).
// Pure.

namespace tenvik {

// A wait bound meaning none, as INFINITE is for the platform's waits.
inline constexpr unsigned long kWaitWithoutBound = 0xFFFFFFFFul;

// The pause before asking again when the lock was taken after elapsedMs of
// a wait bounded by waitMs: pollMs, less when the bound comes sooner; -1
// when the bound has passed and the wait ends without the lock.
long long pauseBeforeAskingAgain(unsigned long long elapsedMs, unsigned long waitMs, unsigned long pollMs);

}  // namespace tenvik

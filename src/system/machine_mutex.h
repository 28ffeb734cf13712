#pragma once
// A machine-wide lock by name, waited for with a bound and owned for a scope.
//
// Where the platform has boundary descriptors, the lock is a private
// namespace of its own, whose boundary names the Administrators group: only
// an elevated process can create it, and owning the lock means having
// created it. A waiting run holds no handle to it, so it disappears when
// its creator closes it or ends, whether or not the platform keeps a
// namespace alive for the handles others opened; a namespace that was only
// opened could vanish under a run that waited for a mutex inside it, and a
// later run could then create a fresh one and go ahead beside it. Where the
// platform has no boundary descriptors (Wine), the lock is a mutex of the
// Global\ name of machine_mutex_name.h instead, which any user may create
// and hold first: such a user can make a run wait until its bound, but never
// take its place.

#include <windows.h>

#include <string>

#include "system/unique_handle.h"

namespace tenvik {

class RunProgress;

// Owns the lock while owned() is true, and gives it up when it goes out of
// scope (on the thread that acquired it): destroys the namespace, or
// releases and closes the mutex. A mutex whose earlier owner ended without
// releasing it (abandoned) is owned like a free one; a namespace goes with
// the process that created it.
class MachineMutex {
 public:
  MachineMutex() = default;
  explicit MachineMutex(UniquePrivateNamespace privateNamespace);
  explicit MachineMutex(UniqueKernelHandle mutex);
  ~MachineMutex();

  MachineMutex(const MachineMutex&) = delete;
  MachineMutex& operator=(const MachineMutex&) = delete;
  MachineMutex(MachineMutex&& other) noexcept = default;
  MachineMutex& operator=(MachineMutex&& other) noexcept;

  bool owned() const { return static_cast<bool>(namespace_) || static_cast<bool>(mutex_); }

 private:
  UniquePrivateNamespace namespace_;  // set only while owned, when created
  UniqueKernelHandle mutex_;          // set only while owned, the fallback
};

// Waits up to waitMs milliseconds (INFINITE: without a bound) for the lock
// called name (a short name of machine_mutex_name.h). Not owned when the
// bound passed, or when the lock could not be had at all (a namespace the
// platform refuses, a name somebody else made that we may not use): the
// caller must then not do what the lock guards. Falls back to the mutex of
// the Global\ name only when the platform cannot make the boundary, so all
// runs on one machine use the same kind of lock. The namespace is asked for
// every kNamespacePollMs; the mutex is waited for by the platform.
MachineMutex acquireMachineMutex(const std::wstring& name, unsigned long waitMs);

// The same, waiting through progress: a lock that is not free at once shows
// the waiting stage, and a cancel ends the wait without the lock.
MachineMutex acquireMachineMutex(const std::wstring& name, unsigned long waitMs, RunProgress& progress);

inline constexpr unsigned long kNamespacePollMs = 250;

}  // namespace tenvik

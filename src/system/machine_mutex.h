#pragma once
// A machine-wide named mutex, waited for with a bound and owned for a scope.
//
// The mutex lives in a private namespace whose boundary names the
// Administrators group, so that only an elevated process can create or open
// it. Where the platform has no boundary descriptors (Wine), it is the
// Global\ name of machine_mutex_name.h instead, which any user may create
// and hold first: such a user can make a run wait until its bound, but
// never take its place.

#include <windows.h>

#include <string>

#include "system/unique_handle.h"

namespace tenvik {

// Owns the mutex while owned() is true: releases it and closes its handles
// when it goes out of scope (release on the thread that acquired it). A
// mutex whose earlier owner ended without releasing it (abandoned) is owned
// like a free one.
class MachineMutex {
 public:
  MachineMutex() = default;
  MachineMutex(UniquePrivateNamespace privateNamespace, UniqueKernelHandle mutex);
  ~MachineMutex();

  MachineMutex(const MachineMutex&) = delete;
  MachineMutex& operator=(const MachineMutex&) = delete;
  MachineMutex(MachineMutex&& other) noexcept = default;
  MachineMutex& operator=(MachineMutex&& other) noexcept;

  bool owned() const { return static_cast<bool>(mutex_); }

 private:
  // Declared first, closed last: the name must outlive the mutex handle.
  UniquePrivateNamespace namespace_;
  UniqueKernelHandle mutex_;  // set only while owned
};

// Waits up to waitMs milliseconds (INFINITE: without a bound) for the mutex
// called name (a short name of machine_mutex_name.h). Not owned when the
// bound passed, or when the mutex could not be created or opened at all (a
// private namespace that the platform offers but that cannot be had, a name
// somebody else made that we may not use): the caller must then not do what
// the mutex guards. Falls back to the Global\ name only when the platform
// cannot make the boundary, so all runs on one machine use the same object.
MachineMutex acquireMachineMutex(const std::wstring& name, unsigned long waitMs);

}  // namespace tenvik

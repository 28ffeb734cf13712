#include "system/machine_mutex.h"

#include <windows.h>
#include <sddl.h>

#include <utility>

#include "system/lock_poll.h"
#include "system/machine_mutex_name.h"
#include "system/run_progress.h"

namespace tenvik {
namespace {

// Only SYSTEM and Administrators may open the namespace.
constexpr wchar_t kNamespaceDescriptor[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

// The boundary every run builds alike: its name and the Administrators SID.
// Empty when the platform cannot make one.
UniqueBoundaryDescriptor administratorsBoundary() {
  UniqueBoundaryDescriptor boundary(CreateBoundaryDescriptorW(kMutexBoundaryName, 0));
  if (!boundary) return boundary;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof(sid);
  HANDLE raw = boundary.get();
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize) ||
      !AddSIDToBoundaryDescriptor(&raw, sid)) {
    return UniqueBoundaryDescriptor();
  }
  // Adding a SID may move the descriptor: own the new one, not the old.
  boundary.release();
  return UniqueBoundaryDescriptor(raw);
}

// Creating the namespace is taking the lock; it exists while another run
// holds it, and we ask again until the bound passes.
MachineMutex acquireNamespace(HANDLE boundary, const std::wstring& name, unsigned long waitMs,
                              RunProgress& progress) {
  UniqueLocalDescriptor descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kNamespaceDescriptor, SDDL_REVISION_1, descriptor.put(),
                                                            nullptr)) {
    return MachineMutex();
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  const std::wstring alias = namespacedMutexName(name);
  // GetTickCount64 is monotonic: a clock set back cannot stretch the bound.
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    UniquePrivateNamespace made(CreatePrivateNamespaceW(&attributes, boundary, alias.c_str()));
    if (made) return MachineMutex(std::move(made));
    if (GetLastError() != ERROR_ALREADY_EXISTS) return MachineMutex();
    const long long pause = pauseBeforeAskingAgain(GetTickCount64() - start, waitMs, kNamespacePollMs);
    if (pause < 0) return MachineMutex();
    progress.showWaiting();
    if (progress.wait(nullptr, static_cast<DWORD>(pause)) == kWaitCancelled) return MachineMutex();
  }
}

MachineMutex acquireGlobalMutex(const std::wstring& name, unsigned long waitMs, RunProgress& progress) {
  UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, globalMutexName(name).c_str()));
  if (!mutex) return MachineMutex();
  // A lock that is free at once shows no wait at all.
  DWORD waited = WaitForSingleObject(mutex.get(), 0);
  if (waited == WAIT_TIMEOUT && waitMs != 0) {
    progress.showWaiting();
    waited = progress.wait(mutex.get(), waitMs);
  }
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return MachineMutex();
  return MachineMutex(std::move(mutex));
}

}  // namespace

MachineMutex::MachineMutex(UniquePrivateNamespace privateNamespace) : namespace_(std::move(privateNamespace)) {}

MachineMutex::MachineMutex(UniqueKernelHandle mutex) : mutex_(std::move(mutex)) {}

MachineMutex::~MachineMutex() {
  if (mutex_) ReleaseMutex(mutex_.get());
}

MachineMutex& MachineMutex::operator=(MachineMutex&& other) noexcept {
  if (this != &other) {
    if (mutex_) ReleaseMutex(mutex_.get());
    mutex_ = std::move(other.mutex_);
    namespace_ = std::move(other.namespace_);
  }
  return *this;
}

static_assert(kWaitWithoutBound == INFINITE, "the portable bound without end is the platform's");

MachineMutex acquireMachineMutex(const std::wstring& name, unsigned long waitMs) {
  RunProgress quiet;
  return acquireMachineMutex(name, waitMs, quiet);
}

MachineMutex acquireMachineMutex(const std::wstring& name, unsigned long waitMs, RunProgress& progress) {
  const UniqueBoundaryDescriptor boundary = administratorsBoundary();
  if (boundary) return acquireNamespace(boundary.get(), name, waitMs, progress);
  return acquireGlobalMutex(name, waitMs, progress);
}

}  // namespace tenvik

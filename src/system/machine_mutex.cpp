#include "system/machine_mutex.h"

#include <windows.h>
#include <sddl.h>

#include <utility>

#include "system/machine_mutex_name.h"

namespace tenvik {
namespace {

// Only SYSTEM and Administrators may open the namespace.
constexpr wchar_t kNamespaceDescriptor[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

// A namespace that another run closes just as we find it existing goes away
// between our create and our open; a few rounds settle that race.
constexpr int kNamespaceAttempts = 5;

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

UniquePrivateNamespace createOrOpenNamespace(HANDLE boundary) {
  UniqueLocalDescriptor descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kNamespaceDescriptor, SDDL_REVISION_1, descriptor.put(),
                                                            nullptr)) {
    return UniquePrivateNamespace();
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  for (int attempt = 0; attempt < kNamespaceAttempts; ++attempt) {
    UniquePrivateNamespace made(CreatePrivateNamespaceW(&attributes, boundary, kMutexNamespaceAlias));
    if (made) return made;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return made;
    UniquePrivateNamespace opened(OpenPrivateNamespaceW(boundary, kMutexNamespaceAlias));
    if (opened) return opened;
  }
  return UniquePrivateNamespace();
}

}  // namespace

MachineMutex::MachineMutex(UniquePrivateNamespace privateNamespace, UniqueKernelHandle mutex)
    : namespace_(std::move(privateNamespace)), mutex_(std::move(mutex)) {}

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

MachineMutex acquireMachineMutex(const std::wstring& name, unsigned long waitMs) {
  UniquePrivateNamespace privateNamespace;
  std::wstring fullName;
  const UniqueBoundaryDescriptor boundary = administratorsBoundary();
  if (boundary) {
    privateNamespace = createOrOpenNamespace(boundary.get());
    if (!privateNamespace) return MachineMutex();
    fullName = namespacedMutexName(name);
  } else {
    fullName = globalMutexName(name);
  }

  UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, fullName.c_str()));
  if (!mutex) return MachineMutex();
  const DWORD waited = WaitForSingleObject(mutex.get(), waitMs);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return MachineMutex();
  return MachineMutex(std::move(privateNamespace), std::move(mutex));
}

}  // namespace tenvik

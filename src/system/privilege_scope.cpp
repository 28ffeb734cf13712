#include "system/privilege_scope.h"

namespace tenvik {

PrivilegeScope::PrivilegeScope(std::initializer_list<const wchar_t*> names) {
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.put())) return;
  bool all = true;
  for (const wchar_t* name : names) {
    TOKEN_PRIVILEGES wanted = {};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, name, &wanted.Privileges[0].Luid)) {
      all = false;
      continue;
    }
    TOKEN_PRIVILEGES before = {};
    DWORD beforeSize = 0;
    const BOOL adjusted = AdjustTokenPrivileges(token_.get(), FALSE, &wanted, sizeof(before), &before, &beforeSize);
    const DWORD error = GetLastError();
    if (!adjusted || error == ERROR_NOT_ALL_ASSIGNED) {
      all = false;
      continue;
    }
    // Only a privilege whose state changed is reported back; one that was
    // on already stays on afterwards.
    for (DWORD i = 0; i < before.PrivilegeCount; ++i) previous_.push_back(before.Privileges[i]);
  }
  allEnabled_ = all;
}

PrivilegeScope::~PrivilegeScope() {
  const DWORD lastError = GetLastError();  // a caller's failure code outlives the scope
  for (const LUID_AND_ATTRIBUTES& privilege : previous_) {
    TOKEN_PRIVILEGES restore = {};
    restore.PrivilegeCount = 1;
    restore.Privileges[0] = privilege;
    AdjustTokenPrivileges(token_.get(), FALSE, &restore, 0, nullptr, nullptr);
  }
  SetLastError(lastError);
}

}  // namespace tenvik

#pragma once
// Privileges switched on for a few calls only. An elevated administrator
// holds take-ownership and restore but has them off; left on, they would
// reach every later call of the run and the token dotnet.exe inherits.

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "system/unique_handle.h"

namespace tenvik {

class PrivilegeScope {
 public:
  // Enables each named privilege (SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME...)
  // in the process token for the life of the scope.
  explicit PrivilegeScope(std::initializer_list<const wchar_t*> names);
  // Puts back what it changed: a privilege that was off is off again.
  ~PrivilegeScope();

  PrivilegeScope(const PrivilegeScope&) = delete;
  PrivilegeScope& operator=(const PrivilegeScope&) = delete;

  // True when every named privilege is now enabled. AdjustTokenPrivileges
  // succeeds for privileges the token does not hold (last error
  // ERROR_NOT_ALL_ASSIGNED); they make this false.
  bool allEnabled() const { return allEnabled_; }

 private:
  UniqueKernelHandle token_;
  std::vector<LUID_AND_ATTRIBUTES> previous_;  // as they were before, for those this scope changed
  bool allEnabled_ = false;
};

}  // namespace tenvik

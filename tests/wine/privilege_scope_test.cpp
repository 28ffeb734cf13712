// The take-ownership and restore privileges are on inside the scope only.

#include "system/privilege_scope.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "system/unique_handle.h"

namespace tenvik {
namespace {

// Whether the process token has name enabled right now.
bool enabled(const wchar_t* name) {
  UniqueKernelHandle token;
  LUID luid = {};
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
      !LookupPrivilegeValueW(nullptr, name, &luid)) {
    return false;
  }
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (!GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size)) return false;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID& id = privileges->Privileges[i].Luid;
    if (id.LowPart == luid.LowPart && id.HighPart == luid.HighPart) {
      return (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  return false;
}

TEST(PrivilegeScope, ThePrivilegesAreOnInsideTheScopeOnly) {
  ASSERT_FALSE(enabled(SE_TAKE_OWNERSHIP_NAME));
  ASSERT_FALSE(enabled(SE_RESTORE_NAME));
  {
    const PrivilegeScope scope({SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME});
    EXPECT_TRUE(scope.allEnabled());
    EXPECT_TRUE(enabled(SE_TAKE_OWNERSHIP_NAME));
    EXPECT_TRUE(enabled(SE_RESTORE_NAME));
    {
      const PrivilegeScope inner({SE_RESTORE_NAME});  // already on: the inner scope leaves it on
      EXPECT_TRUE(inner.allEnabled());
    }
    EXPECT_TRUE(enabled(SE_RESTORE_NAME));
  }
  EXPECT_FALSE(enabled(SE_TAKE_OWNERSHIP_NAME));
  EXPECT_FALSE(enabled(SE_RESTORE_NAME));
}

TEST(PrivilegeScope, APrivilegeTheTokenDoesNotHoldIsReported) {
  // Accepted by AdjustTokenPrivileges, which then says ERROR_NOT_ALL_ASSIGNED.
  {
    const PrivilegeScope scope({SE_TAKE_OWNERSHIP_NAME, SE_CREATE_TOKEN_NAME});
    EXPECT_FALSE(scope.allEnabled());
    EXPECT_TRUE(enabled(SE_TAKE_OWNERSHIP_NAME));
    EXPECT_FALSE(enabled(SE_CREATE_TOKEN_NAME));
  }
  EXPECT_FALSE(enabled(SE_TAKE_OWNERSHIP_NAME));
  EXPECT_FALSE(PrivilegeScope({L"SeNoSuchPrivilege"}).allEnabled());
}

}  // namespace
}  // namespace tenvik

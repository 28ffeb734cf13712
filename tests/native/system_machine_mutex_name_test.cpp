#include "system/machine_mutex_name.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

TEST(MachineMutexName, EachLockHasOneNameInEachPlace) {
  struct Case {
    std::wstring shortName;
    const wchar_t* namespaced;
    const wchar_t* global;
  };
  const Case cases[] = {
      {runMutexName(L"Tenvik"), L"Tenvik.Setup.Tenvik", L"Global\\Tenvik.Setup.Tenvik"},
      {runMutexName(L"Contoso Tools"), L"Tenvik.Setup.Contoso Tools", L"Global\\Tenvik.Setup.Contoso Tools"},
      {kRuntimeInstallMutexName, L"Tenvik.RuntimeInstall", L"Global\\Tenvik.RuntimeInstall"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(namespacedMutexName(c.shortName), c.namespaced);
    EXPECT_EQ(globalMutexName(c.shortName), c.global);
  }
}

TEST(MachineMutexName, NoProductWordNamesTheRuntimeLock) {
  // "RuntimeInstall" as a product word still gets a name of its own.
  EXPECT_NE(runMutexName(L"RuntimeInstall"), kRuntimeInstallMutexName);
  EXPECT_NE(runMutexName(L"A"), runMutexName(L"a b"));
}

}  // namespace
}  // namespace tenvik

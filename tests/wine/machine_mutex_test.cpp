// The machine-wide mutex owner against the real platform. Wine has no
// boundary descriptors, so these runs take the Global\ fallback; the private
// namespace is taken only on Windows.

#include "system/machine_mutex.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>

#include "support/recording_progress.h"
#include "system/machine_mutex_name.h"

namespace tenvik {
namespace {

std::wstring testName(const wchar_t* what) {
  return std::wstring(L"Test.") + what + L"." + std::to_wstring(GetCurrentProcessId());
}

// A mutex is its owning thread's to take again, so others try from a thread
// of their own; a bound of 0 asks without waiting.
bool ownableElsewhere(const std::wstring& name) {
  bool owned = false;
  std::thread([&] { owned = acquireMachineMutex(name, 0).owned(); }).join();
  return owned;
}

TEST(MachineMutex, IsKeptFromOthersUntilItsOwnerEnds) {
  const std::wstring name = testName(L"Kept");
  {
    const MachineMutex held = acquireMachineMutex(name, 0);
    ASSERT_TRUE(held.owned());
    EXPECT_FALSE(ownableElsewhere(name));
  }
  EXPECT_TRUE(ownableElsewhere(name));
}

TEST(MachineMutex, WithoutBoundaryDescriptorsTheGlobalNameIsUsed) {
  const std::wstring name = testName(L"Fallback");
  const MachineMutex held = acquireMachineMutex(name, 0);
  ASSERT_TRUE(held.owned());
  HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, globalMutexName(name).c_str());
  EXPECT_NE(opened, nullptr);
  if (opened) {
    // It is the held one: another thread finds it taken.
    DWORD waited = 0;
    std::thread([&] { waited = WaitForSingleObject(opened, 0); }).join();
    EXPECT_EQ(waited, static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(opened);
  }
}

TEST(MachineMutex, AMutexLeftAbandonedIsOwnedLikeAFreeOne) {
  const std::wstring name = testName(L"Abandoned");
  HANDLE leftBehind = nullptr;
  std::thread([&] { leftBehind = CreateMutexW(nullptr, TRUE, globalMutexName(name).c_str()); }).join();
  ASSERT_NE(leftBehind, nullptr);
  EXPECT_TRUE(acquireMachineMutex(name, 0).owned());
  CloseHandle(leftBehind);
}

TEST(MachineMutex, AMovedOwnerHandsTheMutexOn) {
  const std::wstring name = testName(L"Moved");
  MachineMutex first = acquireMachineMutex(name, 0);
  ASSERT_TRUE(first.owned());
  MachineMutex second = std::move(first);
  EXPECT_FALSE(first.owned());
  EXPECT_TRUE(second.owned());
  EXPECT_FALSE(ownableElsewhere(name));
  second = MachineMutex();  // releases
  EXPECT_TRUE(ownableElsewhere(name));
}

// A free lock is taken without a word; a taken one shows the wait, and a
// cancel ends it without the lock.
TEST(MachineMutex, AWaitThroughProgressIsShownOnlyForATakenLockAndEndsOnCancel) {
  const std::wstring name = testName(L"Shown");
  {
    test::RecordingProgress progress;
    EXPECT_TRUE(acquireMachineMutex(name, 60000, progress).owned());
    EXPECT_EQ(progress.waitingShown, 0);
    EXPECT_EQ(progress.waits, 0);
  }
  const MachineMutex held = acquireMachineMutex(name, 0);
  ASSERT_TRUE(held.owned());
  bool owned = true;
  test::RecordingProgress progress(1);
  std::thread([&] { owned = acquireMachineMutex(name, INFINITE, progress).owned(); }).join();
  EXPECT_FALSE(owned);
  EXPECT_EQ(progress.waitingShown, 1);
  EXPECT_EQ(progress.waits, 1);
}

TEST(MachineMutex, ANameThePlatformRefusesIsNotOwned) {
  // A backslash would put the name below a namespace that does not exist.
  EXPECT_FALSE(acquireMachineMutex(L"No\\Such\\Place", 0).owned());
}

}  // namespace
}  // namespace tenvik

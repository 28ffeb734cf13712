#include "runtime/busy_installer.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

TEST(RetryBusyInstaller, OnlyABusyMachineWithinTheBoundsIsTriedAgain) {
  const BusyInstallerBounds bounds = {10, 30000, 600000};
  struct Case {
    unsigned long exitCode;
    unsigned retriesDone;
    unsigned long long elapsedMs;
    bool expected;
  };
  const Case cases[] = {
      {1618, 0, 0, true},
      {1618, 9, 300000, true},       // the tenth retry
      {1618, 10, 300000, false},     // all ten made
      {1618, 3, 570000, true},       // the pause ends exactly at the limit
      {1618, 3, 570001, false},      // it would end past it
      {1618, 3, 900000, false},
      {0, 0, 0, false},
      {3010, 0, 0, false},           // restart needed: the probe decides
      {1641, 0, 0, false},           // restart started: the probe decides
      {1603, 0, 0, false},
      {0xFFFFFFFFul, 0, 0, false},
      {1618ul + 0x10000ul, 0, 0, false},  // not 1618 in its low word alone
  };
  for (const Case& c : cases) {
    EXPECT_EQ(retryBusyInstaller(c.exitCode, c.retriesDone, c.elapsedMs, bounds), c.expected)
        << "exit " << c.exitCode << " after " << c.retriesDone << " retries, " << c.elapsedMs << " ms";
  }
}

TEST(RetryBusyInstaller, NoRetriesOrNoTimeMeansOneRun) {
  EXPECT_FALSE(retryBusyInstaller(1618, 0, 0, {0, 100, 600000}));
  EXPECT_FALSE(retryBusyInstaller(1618, 0, 0, {10, 100, 50}));
  EXPECT_TRUE(retryBusyInstaller(1618, 0, 0, {10, 0, 0}));  // no pause, still within a limit of 0
}

TEST(RetryBusyInstaller, TheShippedBoundsAllowTenRetriesInTenMinutes) {
  EXPECT_EQ(kBusyInstallerRetries, 10u);
  EXPECT_EQ(kBusyInstallerLimitMs, 600000ul);
  EXPECT_EQ(kInstallAlreadyRunning, 1618ul);
}

TEST(InstallerWait, NoRetryAndNoWaitOutlastTheInstallerWait) {
  // A wait shorter than the ten minutes also ends the retries.
  const BusyInstallerBounds shortWait = busyInstallerBounds(30000, 120000);
  EXPECT_TRUE(retryBusyInstaller(1618, 0, 90000, shortWait));
  EXPECT_FALSE(retryBusyInstaller(1618, 0, 90001, shortWait));
  const BusyInstallerBounds longWait = busyInstallerBounds(30000, 3600000);
  EXPECT_EQ(longWait.limitMs, kBusyInstallerLimitMs);
  EXPECT_EQ(longWait.pauseMs, 30000ul);

  EXPECT_EQ(installerWaitLeftMs(0, 3600000), 3600000ul);
  EXPECT_EQ(installerWaitLeftMs(3599999, 3600000), 1ul);
  EXPECT_EQ(installerWaitLeftMs(3600000, 3600000), 0ul);
  EXPECT_EQ(installerWaitLeftMs(1ull << 40, 3600000), 0ul);  // long past: never wraps into a long wait
}

}  // namespace
}  // namespace tenvik

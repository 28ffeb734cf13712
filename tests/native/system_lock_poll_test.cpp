#include "system/lock_poll.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

TEST(PauseBeforeAskingAgain, PollsUntilTheBoundAndNeverPastIt) {
  struct Case {
    unsigned long long elapsedMs;
    unsigned long waitMs;
    long long expected;
  };
  const Case cases[] = {
      {0, 1800000, 250},
      {1799000, 1800000, 250},
      {1799900, 1800000, 100},  // the last pause ends at the bound
      {1800000, 1800000, -1},
      {1800001, 1800000, -1},
      {0, 0, -1},               // a bound of 0 asks once
      {0, 100, 100},
      {5000000000ull, kWaitWithoutBound, 250},  // without a bound: always again
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pauseBeforeAskingAgain(c.elapsedMs, c.waitMs, 250), c.expected)
        << c.elapsedMs << " ms of " << c.waitMs;
  }
}

}  // namespace
}  // namespace tenvik

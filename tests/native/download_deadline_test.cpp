#include "download/download_deadline.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

TEST(DownloadDeadline, EachTimeoutIsCutToTheWholeLimitButNeverToNothing) {
  struct Case {
    uint32_t limitMs;
    uint32_t expected;  // every one of the four
  };
  const Case cases[] = {
      {900000, 30000}, {30000, 30000}, {29999, 29999}, {5000, 5000}, {1, 1}, {0, 1},
  };
  for (const Case& c : cases) {
    const SessionTimeouts t = sessionTimeouts(c.limitMs);
    EXPECT_EQ(t.resolveMs, c.expected) << c.limitMs;
    EXPECT_EQ(t.connectMs, c.expected) << c.limitMs;
    EXPECT_EQ(t.sendMs, c.expected) << c.limitMs;
    EXPECT_EQ(t.receiveMs, c.expected) << c.limitMs;
  }
  // None of them may exceed a minute.
  for (const uint32_t timeout : {kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs}) {
    EXPECT_LE(timeout, 60000u);
  }
}

TEST(DownloadDeadline, SecondsBecomeAFiniteWait) {
  struct Case {
    uint32_t seconds;
    uint32_t ms;
  };
  const Case cases[] = {
      {900, 900000},
      {1, 1000},
      {0, 1},                      // never an immediate or endless wait
      {4294967, 4294967000u},      // the last whole second that fits
      {4294968, 0xFFFFFFFEu},      // beyond: saturates below INFINITE
      {0xFFFFFFFFu, 0xFFFFFFFEu},
  };
  for (const Case& c : cases) EXPECT_EQ(limitMilliseconds(c.seconds), c.ms) << c.seconds;
}

TEST(DownloadDeadline, TheDeadlinePassesWhenTheLimitIsUsedUp) {
  struct Case {
    uint64_t start;
    uint64_t now;
    uint32_t limit;
    bool passed;
  };
  const Case cases[] = {
      {1000, 1000, 5000, false},
      {1000, 5999, 5000, false},
      {1000, 6000, 5000, true},
      {1000, 90000, 5000, true},
      {1000, 999, 5000, false},  // a clock read before the start
      {0xFFFFFFFFull, 0x100000000ull + 4999, 5000, true},  // past 32 bits: no wrap
      {5, 5, 0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(deadlinePassed(c.start, c.now, c.limit), c.passed) << c.start << " " << c.now << " " << c.limit;
  }
}

}  // namespace
}  // namespace tenvik

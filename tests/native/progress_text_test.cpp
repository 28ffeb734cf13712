#include "progress/progress_text.h"
#include "runtime/runtime_steps.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tenvik {
namespace {

constexpr uint64_t kMB = 1024 * 1024;

TEST(ProgressText, ByteCounts) {
  struct Case {
    uint64_t bytes;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {0, L"0 bytes"},
      {1, L"1 byte"},
      {1023, L"1023 bytes"},
      {1024, L"1 KB"},
      {300 * 1024 + 1023, L"300 KB"},
      {kMB - 1, L"1023 KB"},
      {kMB, L"1.0 MB"},
      {12 * kMB + 3 * kMB / 10 + 1, L"12.3 MB"},
      {55 * kMB, L"55.0 MB"},
      {55 * kMB - 1, L"54.9 MB"},  // cut, never rounded up to the total
      {1024 * kMB - 1, L"1023.9 MB"},
      {1024 * kMB, L"1.0 GB"},
      {UINT64_MAX, L"17179869183.9 GB"},
  };
  for (const Case& c : cases) EXPECT_EQ(byteCountText(c.bytes), c.expected) << c.bytes;
}

TEST(ProgressText, WholePercentIsCutAndReachesHundredOnlyAtTheEnd) {
  struct Case {
    uint64_t done;
    uint64_t total;
    int expected;
  };
  const Case cases[] = {
      {0, 100, 0},     {1, 100, 1},           {22, 100, 22},     {999, 1000, 99},
      {100, 100, 100}, {150, 100, 100},       {5, 0, 0},         {0, 0, 0},
      {1, 3, 33},      {UINT64_MAX - 1, UINT64_MAX, 99},         {UINT64_MAX / 2, UINT64_MAX, 49},
  };
  for (const Case& c : cases) EXPECT_EQ(wholePercent(c.done, c.total), c.expected) << c.done << "/" << c.total;
}

TEST(ProgressText, DownloadSubjectNamesFrameworkMajorAndArchitecture) {
  EXPECT_EQ(downloadSubject(RuntimeFramework::desktop, 10, true), L"the .NET Desktop Runtime 10 (x64)");
  EXPECT_EQ(downloadSubject(RuntimeFramework::base, 6, false), L"the .NET Runtime 6 (x86)");
  EXPECT_EQ(downloadSubject(RuntimeFramework::desktop, 999, false), L"the .NET Desktop Runtime 999 (x86)");
  EXPECT_EQ(progressCaption(L"Tenvik"), L"Tenvik Setup");
}

TEST(ProgressText, ViewOfEachStage) {
  struct Case {
    ProgressState state;
    const wchar_t* heading;
    const wchar_t* detail;
    bool marquee;
    int percent;
  };
  const std::wstring subject = L"the .NET Desktop Runtime 10 (x64)";
  const Case cases[] = {
      {{ProgressStage::waiting, L"", 0, 0}, L"Waiting for another setup to finish", L"", true, 0},
      // A stray count changes nothing about a wait.
      {{ProgressStage::waiting, L"", 5, 10}, L"Waiting for another setup to finish", L"", true, 0},
      {{ProgressStage::downloading, subject, 12 * kMB + 3 * kMB / 10 + 1, 55 * kMB},
       L"Downloading the .NET Desktop Runtime 10 (x64)", L"12.3 MB of 55.0 MB (22%)", false, 22},
      {{ProgressStage::downloading, subject, 0, 55 * kMB}, L"Downloading the .NET Desktop Runtime 10 (x64)",
       L"0 bytes of 55.0 MB (0%)", false, 0},
      {{ProgressStage::downloading, subject, 55 * kMB, 55 * kMB}, L"Downloading the .NET Desktop Runtime 10 (x64)",
       L"55.0 MB of 55.0 MB (100%)", false, 100},
      // No length: the bytes so far and a bar that only says something happens.
      {{ProgressStage::downloading, subject, 300 * 1024, 0}, L"Downloading the .NET Desktop Runtime 10 (x64)",
       L"300 KB received", true, 0},
      {{ProgressStage::unpacking, L"", 45, 100}, L"Unpacking the setup files", L"45%", false, 45},
      {{ProgressStage::unpacking, L"", 0, 0}, L"Unpacking the setup files", L"0%", false, 0},
  };
  for (const Case& c : cases) {
    const ProgressView view = progressView(c.state);
    EXPECT_EQ(view.heading, c.heading);
    EXPECT_EQ(view.detail, c.detail) << c.state.done << "/" << c.state.total;
    EXPECT_EQ(view.marquee, c.marquee) << c.detail;
    EXPECT_EQ(view.percent, c.percent) << c.detail;
  }
}

TEST(ProgressText, UnpackingShowsOnlyAfterHalfASecond) {
  EXPECT_FALSE(unpackingShows(0));
  EXPECT_FALSE(unpackingShows(499));
  EXPECT_TRUE(unpackingShows(500));
  EXPECT_TRUE(unpackingShows(UINT64_MAX));
}

}  // namespace
}  // namespace tenvik

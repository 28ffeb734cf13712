#include "runtime/runtime_rule.h"

#include <gtest/gtest.h>

#include "settings/image_settings.h"

namespace tenvik {
namespace {

TEST(RuntimeRule, ReadsEveryWrittenFormAndWritesItBack) {
  const char* canonical[] = {"desktop+base:6", "desktop:10", "base:10", "desktop:10.0.2", "base:8.0.11",
                             "desktop+base:10"};
  for (const char* text : canonical) {
    const std::optional<RuntimeRule> rule = parseRuntimeRule(text);
    ASSERT_TRUE(rule) << text;
    EXPECT_EQ(formatRuntimeRule(*rule), text);
  }
  const RuntimeRule lowest = *parseRuntimeRule("desktop:10.0.2");
  EXPECT_EQ(lowest.major, 10u);
  EXPECT_FALSE(lowest.baseFallback);
  ASSERT_TRUE(lowest.lowest);
  EXPECT_EQ(lowest.lowest->numbers, (std::vector<unsigned long>{10, 0, 2}));
  EXPECT_TRUE(parseRuntimeRule(kStandardRuleText)->isStandard());
  EXPECT_FALSE(parseRuntimeRule("desktop+base:10")->isStandard());
  EXPECT_FALSE(parseRuntimeRule("desktop:6")->isStandard());
}

TEST(RuntimeRule, RefusesMalformedRules) {
  const char* malformed[] = {"", "desktop", "desktop:", ":10", "aspnet:10", "base+desktop:10", "base+base:10",
                             "desktop+base+x:10", "Desktop:10", "desktop:0", "desktop:1000", "desktop:10.0",
                             "desktop:10.0.2.1", "desktop:10.0.2-rc.1", "desktop:v10", "desktop:10..2",
                             "desktop: 10", "desktop:10 ", "desktop:-1", "desktop:10.0.x"};
  for (const char* text : malformed) EXPECT_FALSE(parseRuntimeRule(text)) << '"' << text << '"';
}

int compare(const char* a, const char* b) {
  return compareRuntimeVersions(*parseRuntimeVersion(a), *parseRuntimeVersion(b));
}

TEST(RuntimeVersion, ComparesComponentsAsNumbers) {
  EXPECT_GT(compare("10.0.10", "10.0.9"), 0);
  EXPECT_LT(compare("9.0.100", "10.0.0"), 0);
  EXPECT_EQ(compare("10.0", "10.0.0"), 0);
  EXPECT_EQ(compare("10.0.3", "10.0.3"), 0);
  EXPECT_LT(compare("10.0.0-rc.1.25451.107", "10.0.0"), 0);
  EXPECT_GT(compare("10.0.1-preview.1", "10.0.0"), 0);
  EXPECT_LT(compare("10.0.0-preview.7", "10.0.0-rc.1"), 0);
  for (const char* bad : {"", "v10", "10..1", "10.0.x", ".1", "10.", "10.0.3-", "１０.0"}) {
    EXPECT_FALSE(parseRuntimeVersion(bad)) << bad;
  }
}

TEST(ImageSettings, DefaultsWhenEmptyAndReadsBackWhatItWrites) {
  const std::optional<ImageSettings> empty = parseImageSettings("");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->runtime.isStandard());
  EXPECT_FALSE(empty->progressWindow);
  EXPECT_EQ(formatImageSettings(ImageSettings{}),
            "runtime=desktop+base:6\nprogress-window=off\ndownload=https://download.tenvik.com\nproduct=Tenvik\n"
            "installer-signer=Microsoft Corporation\ninstaller-wait=3600\ndownload-limit=900\nrun-wait=1800\n"
            "installer-busy-pause-ms=30000\n");

  ImageSettings changed;
  changed.runtime = *parseRuntimeRule("desktop:10.0.2");
  changed.progressWindow = true;
  const std::optional<ImageSettings> back = parseImageSettings(formatImageSettings(changed));
  ASSERT_TRUE(back);
  EXPECT_EQ(formatImageSettings(*back), formatImageSettings(changed));
  EXPECT_TRUE(parseImageSettings("runtime=base:10\r\nprogress-window=on"));
}

TEST(ImageSettings, RefusesAnythingItCannotReadWhole) {
  const char* malformed[] = {"runtime", "runtime=", "runtime=aspnet:10\n", "progress-window=yes\n",
                             "colour=blue\n", "runtime=base:10\nruntime=base:10\n", " runtime=base:10\n",
                             "progress-window=on\nprogress-window=off\n"};
  for (const char* text : malformed) EXPECT_FALSE(parseImageSettings(text)) << text;
}

}  // namespace
}  // namespace tenvik

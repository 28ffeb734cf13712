// The settings an image carries: every key read and written back, and the
// values the program refuses (as CMake and the packer do).

#include "settings/image_settings.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

TEST(ImageSettingsKeys, EachKeyIsReadAndWrittenBack) {
  const std::optional<ImageSettings> read = parseImageSettings(
      "download=vendor\nproduct=Contoso.Setup-2\ninstaller-signer=M\xC3\xBCller GmbH\ninstaller-wait=2\n"
      "download-limit=15\nrun-wait=3\ninstaller-busy-pause-ms=0\n");
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->install.download.vendor);
  EXPECT_EQ(read->product, L"Contoso.Setup-2");
  EXPECT_EQ(read->install.installerSigner, L"M\u00FCller GmbH");
  EXPECT_EQ(read->install.installerWaitSeconds, 2u);
  EXPECT_EQ(read->install.downloadLimitSeconds, 15u);
  EXPECT_EQ(read->runWaitSeconds, 3u);
  EXPECT_EQ(read->install.installerBusyPauseMs, 0u);
  EXPECT_TRUE(read->runtime.isStandard());  // a key not given keeps its default
  EXPECT_EQ(parseImageSettings(formatImageSettings(*read)).has_value(), true);
  EXPECT_EQ(formatImageSettings(*parseImageSettings(formatImageSettings(*read))), formatImageSettings(*read));

  const std::optional<ImageSettings> base = parseImageSettings("download=https://downloads.example.com:8443/\n"
                                                               "installer-signer=\n");
  ASSERT_TRUE(base);
  EXPECT_FALSE(base->install.download.vendor);
  EXPECT_EQ(base->install.download.base, L"https://downloads.example.com:8443/");
  EXPECT_TRUE(base->install.installerSigner.empty());  // the check turned off
  EXPECT_TRUE(parseImageSettings("download=http://127.0.0.1:18100\ninstaller-wait=86400\n"));
}

TEST(ImageSettingsKeys, RefusesValuesTheProgramCouldNotUse) {
  const char* malformed[] = {
      "download=\n", "download=Vendor\n", "download=ftp://example.com\n", "download=htps://example.com\n",
      "download=https://\n", "download=https://example.com/dotnet\n", "download=https://example.com?x=1\n",
      "download=https://user@example.com\n", "download=https://example.com:99999\n", "download=https://example.com:\n",
      "download=https://exa mple.com\n", "product=\n", "product=Two Words\n", "product=.hidden\n",
      "product=Tenvik.\n", "product=CON\n", "product=com1.Setup\n", "product=Back\\slash\n",
      "product=aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\n",  // 65
      "installer-signer=Tab\there\n", "installer-signer=\xC3\n", "installer-signer=\xED\xA0\x80\n",
      "installer-wait=0\n", "installer-wait=86401\n", "installer-wait=-1\n", "installer-wait=1e3\n",
      "installer-wait= 5\n", "installer-wait=\n", "download-limit=0\n", "run-wait=100000\n",
      "installer-busy-pause-ms=600001\n", "installer-wait=5\ninstaller-wait=5\n", "product=A\nproduct=B\n"};
  for (const char* text : malformed) EXPECT_FALSE(parseImageSettings(text)) << text;
}

TEST(ImageSettingsKeys, TheDownloadSettingNamesItsSourceInItsOwnWords) {
  EXPECT_EQ(downloadSettingText(*parseDownloadSetting("vendor")), "vendor");
  EXPECT_EQ(downloadSettingText(*parseDownloadSetting("https://a.example")), "https://a.example");
  EXPECT_EQ(settingText(L"M\u00FCller \U0001F600"), "M\xC3\xBCller \xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace tenvik

// pack's runtime options and list's runtime, through the command line: the
// rule from-app stamps, the refusals, and bundled installers signed by a
// throwaway identity (tests/harness/sign-standin.sh).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "settings/image_settings.h"
#include "packer.h"
#include "packer_test_images.h"
#include "packer_test_files.h"
#include "resource_tree.h"
#include "setup_image.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

using namespace test;

std::string recordNaming(const std::u16string& productName) {
  std::string fixed = le32(0xFEEF04BD) + le32(0x10000) + le32(0xA0000) + le32(0x3) + le32(0xA0000) + le32(0x3) +
                      le32(0x3F) + le32(0) + le32(0x40004) + le32(1) + le32(0) + le32(0) + le32(0);
  const std::string table = versionBlock(u"040904b0", 1, "", 0,
                                         {versionString(u"CompanyName", u"Microsoft Corporation"),
                                          versionString(u"FileDescription", productName),
                                          versionString(u"ProductName", productName)});
  return versionBlock(u"VS_VERSION_INFO", 0, fixed, 52, {versionBlock(u"StringFileInfo", 1, "", 0, {table})});
}

// A program with a version record and, when settings is given, resource 103.
std::string imageWith(const std::string& record, const std::string& settings = "") {
  ResourceTree tree;
  tree[ResourceKey::number(rtVersion)][ResourceKey::number(1)][0x409] = {record, 0};
  if (!settings.empty()) tree[ResourceKey::number(rtRcdata)][ResourceKey::number(103)][0x409] = {settings, 0};
  return minimalPe(buildResourceSection(tree, testRsrcRva), std::string(64, 'r'));
}

std::string config(const char* name, const char* version) {
  return std::string("{\"runtimeOptions\": {\"tfm\": \"net10.0\", \"framework\": {\"name\": \"") + name +
         "\", \"version\": \"" + version + "\"}}}";
}

// The settings text a stub without settings gets: firstLines (rule and
// window), then every other key at its default.
std::string withDefaults(const std::string& firstLines) {
  const std::string all = formatImageSettings(ImageSettings{});
  return firstLines + all.substr(all.find("download="));
}

std::string settingsOf(const std::string& image) {
  const auto data = readDataResources(image);
  const auto found = data.find(kSettingsResourceId);
  return found == data.end() ? "(none)" : found->second;
}

class PackerRuntime : public ::testing::Test {
 protected:
  // The signed stand-ins are made once: signing takes a moment.
  static void SetUpTestSuite() {
    std::string pattern = (fs::temp_directory_path() / "packer-installers-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    installers_ = pattern;
    writeBytes(installers_ / "desktop.exe", imageWith(recordNaming(u"Microsoft Windows Desktop Runtime - 10.0.3 (x64)")));
    writeBytes(installers_ / "base.exe", imageWith(recordNaming(u"Microsoft .NET Runtime - 10.0.3 (x86)")));
    writeBytes(installers_ / "other.exe", imageWith(recordNaming(u"Some Other Product 1.0")));
    // A Windows program cannot run the signing script and wait for it, so
    // under Wine the stand-ins come from TENVIK_SIGNED_STANDINS, where a
    // native run of these tables leaves the same ones signed.
    const char* const shared = std::getenv("TENVIK_SIGNED_STANDINS");
    const char* const names[] = {"desktop", "base", "other"};
#ifdef _WIN32
    signed_ = shared != nullptr;
    for (const char* name : names) {
      for (const char* suffix : {".exe", "-unsigned.exe", "-wrong-signer.exe"}) {
        const fs::path from = fs::path(shared ? shared : "") / (std::string(name) + suffix);
        std::error_code error;
        signed_ = signed_ &&
                  fs::copy_file(from, installers_ / from.filename(), fs::copy_options::overwrite_existing, error);
      }
    }
#else
    for (const char* name : names) {
      const std::string command = "sh '" TENVIK_HARNESS_DIR "/sign-standin.sh' '" +
                                  (installers_ / (std::string(name) + ".exe")).string() + "' '" +
                                  (installers_ / "signing").string() + "' 'Microsoft Corporation' >/dev/null 2>&1";
      signed_ = std::system(command.c_str()) == 0 && signed_;
      for (const char* suffix : {".exe", "-unsigned.exe", "-wrong-signer.exe"}) {
        if (signed_ && shared != nullptr) {
          fs::create_directories(shared);
          fs::copy_file(installers_ / (std::string(name) + suffix), fs::path(shared) / (std::string(name) + suffix),
                        fs::copy_options::overwrite_existing);
        }
      }
    }
#endif
    std::string tampered = readBytes(installers_ / "desktop.exe");
    tampered[0x400] = '\x90';  // the code the signature covers
    writeBytes(installers_ / "tampered.exe", tampered);
  }
  static void TearDownTestSuite() { fs::remove_all(installers_); }

  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "packer-runtime-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    writeBytes(root_ / "stub.exe", imageWith(sampleVersionRecord()));
    writeBytes(root_ / "app10/App.dll", "app");
    writeBytes(root_ / "app10/App.runtimeconfig.json", config("Microsoft.WindowsDesktop.App", "10.0.0"));
  }
  void TearDown() override { fs::remove_all(root_); }

  int run(const std::vector<std::string>& arguments) {
    out_.str("");
    err_.str("");
    return runPacker(arguments, out_, err_);
  }
  std::string path(const std::string& name) const { return (root_ / name).string(); }
  static std::string installer(const char* name) { return (installers_ / name).string(); }
  std::vector<std::string> packApp10(std::vector<std::string> more) {
    std::vector<std::string> arguments = {"pack", "--entry", "App.dll", "--stub", path("stub.exe"), "--output",
                                          path("Setup.exe")};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(path("app10"));
    return arguments;
  }

  static fs::path installers_;
  static bool signed_;
  fs::path root_;
  std::ostringstream out_, err_;
};

fs::path PackerRuntime::installers_;
bool PackerRuntime::signed_ = true;

TEST_F(PackerRuntime, FromAppStampsTheAppsRuleAndListShowsIt) {
  ASSERT_EQ(run(packApp10({})), 0) << err_.str();
  EXPECT_TRUE(err_.str().empty()) << err_.str();
  EXPECT_NE(out_.str().find("runtime rule desktop:10.0.0 (from "), std::string::npos) << out_.str();
  EXPECT_EQ(settingsOf(readBytes(path("Setup.exe"))), withDefaults("runtime=desktop:10.0.0\nprogress-window=off\n"));

  ASSERT_EQ(run({"list", "--json", path("Setup.exe")}), 0) << err_.str();
  EXPECT_NE(out_.str().find("\"runtime\":{\"rule\":\"desktop:10.0.0\",\"framework\":\"desktop\",\"major\":10,"
                            "\"lowest\":\"10.0.0\",\"fallback\":false,\"bundled\":[]}"),
            std::string::npos)
      << out_.str();
  ASSERT_EQ(run({"list", path("Setup.exe")}), 0);
  EXPECT_NE(out_.str().find("runtime: desktop:10.0.0 (Microsoft.WindowsDesktop.App 10, at least 10.0.0)\n"
                            "bundled runtime installers: none\n"),
            std::string::npos)
      << out_.str();

  // A payload keeps the stub's rule unless told; the stub's other settings stay.
  writeBytes(root_ / "stub6.exe", imageWith(sampleVersionRecord(), "runtime=desktop+base:6\nprogress-window=on\n"));
  writeBytes(root_ / "app6/App.dll", "app");
  writeBytes(root_ / "app6/App.runtimeconfig.json", config("Microsoft.NETCore.App", "6.0.0"));
  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--output", path("app6.bmp"), path("app6")}), 0);
  ASSERT_EQ(run({"pack", "--payload", path("app6.bmp"), "--stub", path("stub6.exe"), "--output", path("Kept.exe")}), 0)
      << err_.str();
  EXPECT_EQ(readDataResources(readBytes(path("Kept.exe"))), readDataResources(readBytes(path("stub6.exe"))));
  ASSERT_EQ(run({"list", "--json", path("Kept.exe")}), 0);
  EXPECT_NE(out_.str().find("\"runtime\":{\"rule\":\"desktop+base:6\",\"framework\":\"desktop\",\"major\":6,"
                            "\"lowest\":null,\"fallback\":true,\"bundled\":[]}"),
            std::string::npos)
      << out_.str();
  ASSERT_EQ(run({"pack", "--payload", path("app6.bmp"), "--stub", path("stub6.exe"), "--runtime", "from-app",
                 "--output", path("Derived.exe")}),
            0)
      << err_.str();
  EXPECT_EQ(settingsOf(readBytes(path("Derived.exe"))), "runtime=base:6.0.0\nprogress-window=on\n");
}

TEST_F(PackerRuntime, ProgressWindowIsStampedOnOrOffAndOtherwiseKept) {
  ASSERT_EQ(run(packApp10({"--progress-window", "on"})), 0) << err_.str();
  EXPECT_EQ(settingsOf(readBytes(path("Setup.exe"))), withDefaults("runtime=desktop:10.0.0\nprogress-window=on\n"));

  // Off again from a stub that has it on; a stub's setting stays when not given.
  writeBytes(root_ / "stub-on.exe", imageWith(sampleVersionRecord(), "runtime=desktop:10\nprogress-window=on\n"));
  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--output", path("app10.bmp"), path("app10")}), 0);
  ASSERT_EQ(run({"pack", "--payload", path("app10.bmp"), "--stub", path("stub-on.exe"), "--output", path("Kept.exe")}),
            0)
      << err_.str();
  EXPECT_EQ(settingsOf(readBytes(path("Kept.exe"))), "runtime=desktop:10\nprogress-window=on\n");
  ASSERT_EQ(run({"pack", "--payload", path("app10.bmp"), "--stub", path("stub-on.exe"), "--progress-window", "off",
                 "--output", path("Off.exe")}),
            0)
      << err_.str();
  EXPECT_EQ(settingsOf(readBytes(path("Off.exe"))), "runtime=desktop:10\nprogress-window=off\n");
  ASSERT_EQ(run({"list", path("Kept.exe")}), 0);
  EXPECT_NE(out_.str().find("bundled runtime installers: none\nprogress window: on\n"), std::string::npos) << out_.str();
  ASSERT_EQ(run({"list", "--json", path("Off.exe")}), 0);
  EXPECT_NE(out_.str().find("\"bundled\":[]},\"progressWindow\":false,"), std::string::npos) << out_.str();

  struct Case {
    std::vector<std::string> arguments;
    const char* said;
  };
  const Case refused[] = {
      {packApp10({"--progress-window", "yes"}), "on or off"},
      {packApp10({"--progress-window", "on", "--progress-window", "off"}), "given twice"},
      {{"pack", "--entry", "App.dll", "--stub", path("stub.exe"), "--output", path("Setup.exe"), path("app10"),
        "--progress-window"},
       "needs a value"},
      {{"pack", "--entry", "App.dll", "--progress-window", "on", "--output", path("p.bmp"), path("app10")},
       "need --stub"},
  };
  for (const Case& c : refused) {
    fs::remove(path("Setup.exe"));
    EXPECT_EQ(run(c.arguments), 2) << c.said;
    EXPECT_NE(err_.str().find(c.said), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(path("Setup.exe")));
  }
}

TEST_F(PackerRuntime, ApplicationsThatCannotBeServedAreRefusedWithTheirCodes) {
  struct Case {
    const char* what;
    std::string config;  // App.runtimeconfig.json; empty: none
    std::vector<std::string> options;
    int exitCode;
    const char* said;
  };
  const Case cases[] = {
      {"no runtimeconfig.json", "", {}, 7, "no "},
      {"self-contained", "{\"runtimeOptions\": {\"includedFrameworks\": []}}", {}, 8, "self-contained"},
      {"ASP.NET Core", config("Microsoft.AspNetCore.App", "10.0.0"), {}, 9, "Microsoft.AspNetCore.App"},
      {"malformed", "{\"runtimeOptions\": {\n\"framework\": }", {}, 10, "line 2, column 14"},
      {"a .NET 6 rule for a .NET 10 app", config("Microsoft.WindowsDesktop.App", "10.0.0"), {"--runtime", "desktop:6"},
       11, "use --runtime desktop:10.0.0"},
      {"a base rule for a Desktop app", config("Microsoft.WindowsDesktop.App", "10.0.0"), {"--runtime", "base:10"},
       11, "provides only Microsoft.NETCore.App"},
      {"an explicit rule does not excuse a self-contained app", "{\"runtimeOptions\": {\"includedFrameworks\": []}}",
       {"--runtime", "desktop:10"}, 8, "self-contained"},
      {"no rule", config("Microsoft.WindowsDesktop.App", "10.0.0"), {"--runtime", "desktop:ten"}, 2, "not a runtime rule"},
      {"--runtime twice", config("Microsoft.WindowsDesktop.App", "10.0.0"),
       {"--runtime", "from-app", "--runtime", "desktop:10"}, 2, "given twice"},
  };
  for (const Case& c : cases) {
    fs::remove_all(root_ / "app");
    writeBytes(root_ / "app/App.dll", "app");
    if (!c.config.empty()) writeBytes(root_ / "app/App.runtimeconfig.json", c.config);
    std::vector<std::string> arguments = {"pack", "--entry", "App.dll", "--stub", path("stub.exe"), "--output",
                                          path("Setup.exe")};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.push_back(path("app"));
    EXPECT_EQ(run(arguments), c.exitCode) << c.what << ": " << err_.str();
    EXPECT_NE(err_.str().find(c.said), std::string::npos) << c.what << ": " << err_.str();
    EXPECT_FALSE(fs::exists(path("Setup.exe"))) << c.what;
  }

  // An explicit rule with no runtimeconfig.json to check it against packs, with a warning.
  fs::remove(root_ / "app/App.runtimeconfig.json");
  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--stub", path("stub.exe"), "--runtime", "base:8", "--output",
                 path("Setup.exe"), path("app")}),
            0);
  EXPECT_NE(err_.str().find("cannot be checked"), std::string::npos) << err_.str();
  // The stub's rule kept for a payload it cannot run is refused too.
  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--output", path("app10.bmp"), path("app10")}), 0);
  EXPECT_EQ(run({"pack", "--payload", path("app10.bmp"), "--stub", path("stub.exe"), "--output", path("Old.exe")}), 11);
  EXPECT_NE(err_.str().find("desktop+base:6"), std::string::npos) << err_.str();
  // Kept for a payload whose runtimeconfig.json cannot be read, the stub's rule stays, with a warning.
  writeBytes(root_ / "app/App.runtimeconfig.json", "\x01\x02 not JSON");
  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--output", path("noise.bmp"), path("app")}), 0);
  EXPECT_EQ(run({"pack", "--payload", path("noise.bmp"), "--stub", path("stub.exe"), "--output", path("Noise.exe")}), 0)
      << err_.str();
  EXPECT_NE(err_.str().find("kept unchecked"), std::string::npos) << err_.str();
  EXPECT_EQ(run({"pack", "--payload", path("noise.bmp"), "--stub", path("stub.exe"), "--runtime", "from-app",
                 "--output", path("Noise.exe")}),
            10);
  // The historical rule for a Desktop app packs, with a warning about its fallback.
  EXPECT_EQ(run(packApp10({"--runtime", "desktop+base:10"})), 0) << err_.str();
  EXPECT_NE(err_.str().find("base runtime alone"), std::string::npos) << err_.str();
  EXPECT_EQ(run({"pack", "--entry", "App.dll", "--runtime", "desktop:10", "--output", path("p.bmp"), path("app10")}), 2);
}

TEST_F(PackerRuntime, BundledInstallersMustBeSignedByTheRequiredSigner) {
  if (!signed_) GTEST_SKIP() << "osslsigncode could not sign the stand-ins";
  ASSERT_EQ(run(packApp10({"--runtime-installer", installer("desktop.exe"), "--runtime-installer",
                           "base:x64=" + installer("base.exe")})),
            0)
      << err_.str();
  const auto data = readDataResources(readBytes(path("Setup.exe")));
  ASSERT_EQ(data.count(201), 1u);
  EXPECT_EQ(data.at(201), readBytes(installer("desktop.exe")));
  EXPECT_EQ(data.at(203), readBytes(installer("base.exe")));  // the explicit slot wins over its x86 record
  EXPECT_NE(err_.str().find("never installs"), std::string::npos) << "a base installer for a desktop rule";
  ASSERT_EQ(run({"list", "--json", path("Setup.exe")}), 0);
  const std::string size = std::to_string(data.at(201).size());
  EXPECT_NE(out_.str().find("\"bundled\":[{\"framework\":\"desktop\",\"arch\":\"x64\",\"version\":\"10.0.3\",\"size\":" +
                            size + "},{\"framework\":\"base\",\"arch\":\"x64\",\"version\":\"10.0.3\""),
            std::string::npos)
      << out_.str();
  ASSERT_EQ(run({"list", path("Setup.exe")}), 0);
  EXPECT_NE(out_.str().find("bundled runtime installer: desktop x64, version 10.0.3, " + size + " bytes"),
            std::string::npos)
      << out_.str();

  struct Case {
    const char* what;
    std::vector<std::string> options;
    int exitCode;
    const char* said;
  };
  const Case cases[] = {
      {"unsigned", {"--runtime-installer", installer("desktop-unsigned.exe")}, 12, "carries no signature"},
      {"changed after signing", {"--runtime-installer", installer("tampered.exe")}, 12, "changed after signing"},
      {"another signer", {"--runtime-installer", installer("desktop-wrong-signer.exe")}, 13, "Tenvik Test Impostor"},
      {"another required signer", {"--runtime-installer", installer("desktop.exe"), "--installer-signer", "Tenvik Ltd"},
       13, "\"Tenvik Ltd\""},
      {"not a runtime installer", {"--runtime-installer", installer("other.exe")}, 14, "desktop:x64=FILE"},
      {"two for one slot",
       {"--runtime-installer", installer("desktop.exe"), "--runtime-installer", "desktop:x64=" + installer("other.exe")},
       2, "two installers for desktop:x64"},
      {"an unknown slot", {"--runtime-installer", "desktop:arm64=" + installer("desktop.exe")}, 2, "desktop:x64"},
      {"a missing file", {"--runtime-installer", installer("none.exe")}, 1, "none.exe"},
  };
  for (const Case& c : cases) {
    fs::remove(path("Setup.exe"));
    EXPECT_EQ(run(packApp10(c.options)), c.exitCode) << c.what << ": " << err_.str();
    EXPECT_NE(err_.str().find(c.said), std::string::npos) << c.what << ": " << err_.str();
    EXPECT_FALSE(fs::exists(path("Setup.exe"))) << c.what;
  }

  // Named explicitly, any rightly signed program goes in; the impostor is
  // accepted where it is the required signer.
  EXPECT_EQ(run(packApp10({"--runtime-installer", "desktop:x86=" + installer("other.exe")})), 0) << err_.str();
  EXPECT_EQ(run(packApp10({"--runtime-installer", installer("desktop-wrong-signer.exe"), "--installer-signer",
                           "Tenvik Test Impostor"})),
            0)
      << err_.str();
}

TEST_F(PackerRuntime, EverySettingIsStampedKeptWhenNotGivenAndListed) {
  ASSERT_EQ(run(packApp10({"--download", "vendor", "--product-word", "Contoso", "--installer-signer", "Contoso Ltd",
                           "--installer-wait", "120"})),
            0)
      << err_.str();
  const std::optional<ImageSettings> stamped = parseImageSettings(settingsOf(readBytes(path("Setup.exe"))));
  ASSERT_TRUE(stamped);
  EXPECT_TRUE(stamped->install.download.vendor);
  EXPECT_EQ(stamped->product, L"Contoso");
  EXPECT_EQ(stamped->install.installerSigner, L"Contoso Ltd");
  EXPECT_EQ(stamped->install.installerWaitSeconds, 120u);

  // Restamped with one setting: the others stay as the first stamp left them.
  fs::rename(path("Setup.exe"), path("stub-contoso.exe"));
  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--stub", path("stub-contoso.exe"), "--download",
                 "https://downloads.example.com", "--output", path("Setup.exe"), path("app10")}),
            0)
      << err_.str();
  const std::optional<ImageSettings> again = parseImageSettings(settingsOf(readBytes(path("Setup.exe"))));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->install.download.base, L"https://downloads.example.com");
  EXPECT_EQ(again->product, L"Contoso");
  EXPECT_EQ(again->install.installerWaitSeconds, 120u);

  ASSERT_EQ(run({"list", path("Setup.exe")}), 0);
  EXPECT_NE(out_.str().find("download: https://downloads.example.com\nproduct word: Contoso\n"
                            "installer signer: Contoso Ltd\ninstaller wait: 120 s\n"),
            std::string::npos)
      << out_.str();
  ASSERT_EQ(run({"list", "--json", path("stub-contoso.exe")}), 0);
  EXPECT_NE(out_.str().find("\"download\":\"vendor\",\"product\":\"Contoso\",\"installerSigner\":\"Contoso Ltd\","
                            "\"installerWait\":120,\"downloadLimit\":900,\"runWait\":1800,\"installerBusyPause\":30000}"),
            std::string::npos)
      << out_.str();

  // A stub made before these settings existed keeps its own lines; a setting
  // it cannot know is added with a warning, never the defaults of the rest.
  writeBytes(root_ / "stub-old.exe", imageWith(sampleVersionRecord(), "runtime=desktop:10\nprogress-window=on\n"));
  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--stub", path("stub-old.exe"), "--download", "vendor", "--output",
                 path("Old.exe"), path("app10")}),
            0)
      << err_.str();
  EXPECT_EQ(settingsOf(readBytes(path("Old.exe"))), "runtime=desktop:10.0.0\nprogress-window=on\ndownload=vendor\n");
  EXPECT_NE(err_.str().find("no download line"), std::string::npos) << err_.str();

  const std::vector<std::string> refused[] = {
      packApp10({"--download", "ftp://example.com"}),
      packApp10({"--download", "https://example.com/path"}),
      packApp10({"--product-word", "Two Words"}),
      packApp10({"--product-word", "CON"}),
      packApp10({"--installer-wait", "0"}),
      packApp10({"--installer-wait", "soon"}),
      packApp10({"--installer-signer", "Line\nbreak"}),
      packApp10({"--download", "vendor", "--download", "vendor"}),
      {"pack", "--entry", "App.dll", "--download", "vendor", "--output", path("p.bmp"), path("app10")},
      {"pack", "--entry", "App.dll", "--installer-wait", "5", "--output", path("p.bmp"), path("app10")},
  };
  for (const std::vector<std::string>& arguments : refused) {
    fs::remove(path("Setup.exe"));
    EXPECT_EQ(run(arguments), 2) << err_.str();
    EXPECT_FALSE(fs::exists(path("Setup.exe")));
  }
}

}  // namespace
}  // namespace tenvik::packer

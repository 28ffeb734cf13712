#include "runtime_config.h"

#include <gtest/gtest.h>

#include <string>

#include "exit_codes.h"
#include "pack_error.h"

namespace tenvik::packer {
namespace {

// The exit code and message readRuntimeConfig refuses text with; 0 when it
// reads it.
std::pair<int, std::string> verdictOf(const std::string& text) {
  try {
    readRuntimeConfig(text, "App.runtimeconfig.json");
    return {exitSuccess, ""};
  } catch (const PackError& failure) {
    return {failure.exitCode, failure.what()};
  }
}

std::string withOptions(const std::string& options) { return "{\"runtimeOptions\": {" + options + "}}"; }
std::string framework(const char* name, const char* version) {
  return std::string("{\"name\": \"") + name + "\", \"version\": \"" + version + "\"}";
}

TEST(PackerRuntimeConfig, TheApplicationsFrameworkVersionAndPolicyAreRead) {
  struct Case {
    const char* what;
    std::string text;
    const char* rule;  // what from-app derives
    RollForward policy;
  };
  const Case cases[] = {
      {"one Desktop framework", withOptions("\"framework\": " + framework("Microsoft.WindowsDesktop.App", "10.0.0")),
       "desktop:10.0.0", RollForward::minor},
      {"one base framework", withOptions("\"framework\": " + framework("Microsoft.NETCore.App", "8.0.2")),
       "base:8.0.2", RollForward::minor},
      {"a frameworks list with both: Desktop wins",
       withOptions("\"frameworks\": [" + framework("Microsoft.NETCore.App", "10.0.0") + ", " +
                   framework("Microsoft.WindowsDesktop.App", "10.0.1") + "]"),
       "desktop:10.0.1", RollForward::minor},
      {"names compared without case", withOptions("\"framework\": " + framework("microsoft.windowsdesktop.app", "9.0.0")),
       "desktop:9.0.0", RollForward::minor},
      {"an overall rollForward", withOptions("\"rollForward\": \"LatestMajor\", \"framework\": " +
                                             framework("Microsoft.NETCore.App", "6.0.0")),
       "base:6.0.0", RollForward::latestMajor},
      {"the framework's own rollForward wins",
       withOptions("\"rollForward\": \"Major\", \"framework\": {\"name\": \"Microsoft.NETCore.App\", \"version\": "
                   "\"6.0.0\", \"rollForward\": \"disable\"}"),
       "base:6.0.0", RollForward::disable},
      {"the older rollForwardOnNoCandidateFx",
       withOptions("\"rollForwardOnNoCandidateFx\": 2, \"framework\": " + framework("Microsoft.NETCore.App", "6.0.0")),
       "base:6.0.0", RollForward::major},
      {"a preview: the release it previews is the lowest",
       withOptions("\"framework\": " + framework("Microsoft.WindowsDesktop.App", "11.0.0-preview.1.26080.1")),
       "desktop:11.0.0", RollForward::minor},
      {"two numbers", withOptions("\"framework\": " + framework("Microsoft.NETCore.App", "10.0")), "base:10.0.0",
       RollForward::minor},
      {"a byte order mark and comments-free extras",
       "\xEF\xBB\xBF" + withOptions("\"tfm\": \"net10.0\", \"configProperties\": {\"x\": true}, \"framework\": " +
                                    framework("Microsoft.WindowsDesktop.App", "10.0.0")),
       "desktop:10.0.0", RollForward::minor},
  };
  for (const Case& c : cases) {
    try {
      const AppRuntime app = readRuntimeConfig(c.text, "App.runtimeconfig.json");
      EXPECT_EQ(formatRuntimeRule(ruleForApp(app)), c.rule) << c.what;
      EXPECT_EQ(app.rollForward, c.policy) << c.what;
    } catch (const PackError& failure) {
      ADD_FAILURE() << c.what << ": " << failure.what();
    }
  }
}

TEST(PackerRuntimeConfig, EachRefusalHasItsCodeAndSaysWhy) {
  struct Case {
    const char* what;
    std::string text;
    int exitCode;
    const char* said;
  };
  const Case cases[] = {
      {"self-contained",
       withOptions("\"includedFrameworks\": [" + framework("Microsoft.NETCore.App", "10.0.3") + "]"),
       exitSelfContained, "self-contained"},
      {"ASP.NET Core", withOptions("\"frameworks\": [" + framework("Microsoft.NETCore.App", "10.0.0") + ", " +
                                   framework("Microsoft.AspNetCore.App", "10.0.0") + "]"),
       exitUnknownFramework, "Microsoft.AspNetCore.App"},
      {"not JSON: line and column", "{\n  \"runtimeOptions\": {\n    \"framework\": x\n", exitBadRuntimeConfig,
       "line 3, column 18"},
      {"cut short", "{\"runtimeOptions\": {", exitBadRuntimeConfig, "not valid JSON"},
      {"no runtimeOptions", "{\"a\": 1}", exitBadRuntimeConfig, "no runtimeOptions"},
      {"not an object", "[1, 2]", exitBadRuntimeConfig, "no runtimeOptions"},
      {"no framework", withOptions("\"tfm\": \"net10.0\""), exitBadRuntimeConfig, "names no framework"},
      {"a framework without a name", withOptions("\"framework\": {\"version\": \"10.0.0\"}"), exitBadRuntimeConfig,
       "without a name"},
      {"frameworks not a list", withOptions("\"frameworks\": {}"), exitBadRuntimeConfig, "not an array"},
      {"an unreadable version", withOptions("\"framework\": " + framework("Microsoft.NETCore.App", "ten")),
       exitBadRuntimeConfig, "no version"},
      {"no version", withOptions("\"framework\": {\"name\": \"Microsoft.NETCore.App\"}"), exitBadRuntimeConfig,
       "no version"},
      {"an unknown policy",
       withOptions("\"rollForward\": \"Sometimes\", \"framework\": " + framework("Microsoft.NETCore.App", "10.0.0")),
       exitBadRuntimeConfig, "\"Sometimes\""},
  };
  for (const Case& c : cases) {
    const auto [code, message] = verdictOf(c.text);
    EXPECT_EQ(code, c.exitCode) << c.what << ": " << message;
    EXPECT_NE(message.find(c.said), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find("App.runtimeconfig.json"), std::string::npos) << c.what << ": " << message;
  }
}

TEST(PackerRuntimeConfig, AnExplicitRuleMustStartTheAppUnderItsRollForwardPolicy) {
  struct Case {
    const char* rule;
    RuntimeFramework app;
    const char* version;
    RollForward policy;
    bool runs;
  };
  using F = RuntimeFramework;
  using R = RollForward;
  const Case cases[] = {
      // Minor (the default): same major, at least the app's version.
      {"desktop:10", F::desktop, "10.0.0", R::minor, true},
      {"desktop:10.0.0", F::desktop, "10.0.0", R::minor, true},
      {"desktop:10.0.3", F::desktop, "10.0.2", R::minor, true},
      {"desktop:10", F::desktop, "10.0.2", R::minor, false},  // 10.0.0 would pass the probe
      {"desktop:10.1.0", F::desktop, "10.0.2", R::latestMinor, true},
      {"desktop:6", F::desktop, "10.0.0", R::minor, false},
      {"desktop:11", F::desktop, "10.0.0", R::minor, false},
      {"desktop+base:6", F::desktop, "6.0.0", R::minor, true},
      // Framework: base never provides Desktop; Desktop brings base along.
      {"base:10", F::desktop, "10.0.0", R::minor, false},
      {"base:10", F::base, "10.0.0", R::minor, true},
      {"desktop:10", F::base, "10.0.0", R::minor, true},
      // Major and LatestMajor: higher majors too.
      {"desktop:11", F::desktop, "10.0.0", R::major, true},
      {"base:12", F::base, "10.0.0", R::latestMajor, true},
      {"desktop:10", F::desktop, "10.0.2", R::major, false},
      {"desktop:9", F::desktop, "10.0.0", R::latestMajor, false},
      // Disable and LatestPatch: the same major and minor.
      {"desktop:10.0.2", F::desktop, "10.0.2", R::latestPatch, true},
      {"desktop:10.1.0", F::desktop, "10.0.2", R::latestPatch, false},
      {"desktop:10", F::desktop, "10.0.0", R::disable, true},
      {"desktop:11", F::desktop, "10.0.0", R::disable, false},
  };
  for (const Case& c : cases) {
    AppRuntime app;
    app.framework = c.app;
    app.versionText = c.version;
    app.version = *parseRuntimeVersion(c.version);
    app.rollForward = c.policy;
    const std::string why = ruleMismatch(*parseRuntimeRule(c.rule), app);
    EXPECT_EQ(why.empty(), c.runs) << c.rule << " for " << frameworkWord(c.app) << " " << c.version << " "
                                   << rollForwardName(c.policy) << ": " << why;
    if (!c.runs) {
      EXPECT_NE(why.find("use --runtime"), std::string::npos) << why;
    }
  }
}

// The two decisions a fitting rule cannot mirror, as the real host showed
// them: Disable is met by later patches; Major from the app's own major
// installs it where a higher one would do.
TEST(PackerRuntimeConfig, WhereTheHostDecidesOtherwiseThanAFittingRuleItIsSaid) {
  using R = RollForward;
  struct Case {
    const char* rule;
    R policy;
    const char* version;
    const char* says;  // nullptr: the host and the image agree
  };
  const Case cases[] = {
      {"desktop:10.0.0", R::disable, "10.0.0", "any later 10.x"},
      {"desktop:9.0.0", R::major, "9.0.0", "installs 9.x"},
      {"desktop:9.0.0", R::latestMajor, "9.0.0", "installs 9.x"},
      {"desktop:10.0.0", R::minor, "10.0.0", nullptr},
      {"desktop:10.0.0", R::latestPatch, "10.0.0", nullptr},
      {"desktop:10.0.0", R::major, "9.0.0", nullptr},  // an explicit higher major installs what runs it
  };
  for (const Case& c : cases) {
    AppRuntime app;
    app.framework = RuntimeFramework::desktop;
    app.versionText = c.version;
    app.version = *parseRuntimeVersion(c.version);
    app.rollForward = c.policy;
    const std::string says = hostDisagreement(*parseRuntimeRule(c.rule), app);
    if (c.says) {
      EXPECT_NE(says.find(c.says), std::string::npos) << c.rule << " " << rollForwardName(c.policy) << ": " << says;
    } else {
      EXPECT_EQ(says, "") << c.rule << " " << rollForwardName(c.policy);
    }
  }
}

TEST(PackerRuntimeConfig, TheConfigSitsBesideTheEntry) {
  EXPECT_EQ(runtimeConfigName("App.dll"), "App.runtimeconfig.json");
  EXPECT_EQ(runtimeConfigName("bin/My.App.DLL"), "bin/My.App.runtimeconfig.json");
  EXPECT_EQ(runtimeConfigName("App"), "App.runtimeconfig.json");
}

}  // namespace
}  // namespace tenvik::packer

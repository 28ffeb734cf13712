#include "launcher/command_line.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

TEST(CommandLine, SilentSwitchCountsAnywhereCaseSensitively) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"--silent", true},
      {L"/x --silent /y", true},
      {L"--silently", true},                     // a longer word still counts
      {L"C:\\tmp\\--silent\\a.txt", true},       // so does a path
      {L"--SILENT", false},
      {L"-silent", false},
      {L"", false},
  };
  for (const auto& [commandLine, silent] : cases) {
    EXPECT_EQ(commandLineAsksSilent(commandLine), silent) << "command line: " << commandLine;
  }
}

TEST(CommandLine, HostGetsTargetOneBlankAndTheCommandLineUnchanged) {
  EXPECT_EQ(hostParameters(L"C:\\P\\T\\Setup.tmp\\App.dll", L"--silent \"a b\""),
            L"C:\\P\\T\\Setup.tmp\\App.dll --silent \"a b\"");
  EXPECT_EQ(hostParameters(L"C:\\P\\App.dll", L""), L"C:\\P\\App.dll ");
  EXPECT_EQ(hostParameters(L"C:\\Program Data\\App.dll", L"x"), L"\"C:\\Program Data\\App.dll\" x");
  EXPECT_EQ(hostParameters(L"C:\\P\\App.dll", L"\x00e9t\x00e9 \x65e5\x672c"), L"C:\\P\\App.dll \x00e9t\x00e9 \x65e5\x672c");
}

TEST(CommandLine, FailureMessageNamesTheManualDownloadPage) {
  EXPECT_EQ(prerequisiteFailureMessage(L"https://example.test/dl"),
            L"Setup of prerequisite NET Framework failed.\nPlease visit https://example.test/dl for manual setup.");
}

}  // namespace
}  // namespace tenvik

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

TEST(CommandLine, TheHostsCommandLineQuotesItsPathAndKeepsTheParameters) {
  const std::wstring host = L"C:\\Program Files\\dotnet\\dotnet.exe";
  EXPECT_EQ(hostCommandLine(host, L"C:\\P\\App.dll "), L"\"" + host + L"\" C:\\P\\App.dll ");
  EXPECT_EQ(hostCommandLine(L"C:\\d\\dotnet.exe", L"\"C:\\My App\\A.dll\" --x \"y\""),
            L"\"C:\\d\\dotnet.exe\" \"C:\\My App\\A.dll\" --x \"y\"");
}

}  // namespace
}  // namespace tenvik

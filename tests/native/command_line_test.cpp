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

}  // namespace
}  // namespace tenvik

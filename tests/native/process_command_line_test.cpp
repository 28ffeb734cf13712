#include "system/process_command_line.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

TEST(ProcessCommandLine, QuotesOnlyAPathWithABlankAndAppendsArgumentsVerbatim) {
  struct Case {
    const wchar_t* executable;
    const wchar_t* arguments;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"C:\\Temp\\DotNET-Setup.exe", L"/quiet /norestart", L"C:\\Temp\\DotNET-Setup.exe /quiet /norestart"},
      {L"C:\\Temp Dir\\DotNET-Setup.exe", L"/quiet /norestart",
       L"\"C:\\Temp Dir\\DotNET-Setup.exe\" /quiet /norestart"},
      {L"C:\\Temp\\DotNET-Setup.exe", L"", L"C:\\Temp\\DotNET-Setup.exe"},
      {L"C:\\Temp Dir\\DotNET-Setup.exe", L"", L"\"C:\\Temp Dir\\DotNET-Setup.exe\""},
      {L"C:\\Temp\\a.exe ", L"", L"\"C:\\Temp\\a.exe \""},
      {L" ", L"", L"\" \""},
      // A tab is no reason to quote, and nothing inside the path is escaped.
      {L"C:\\Tab\tDir\\a.exe", L"x", L"C:\\Tab\tDir\\a.exe x"},
      {L"C:\\Odd\"Name Dir\\a.exe", L"", L"\"C:\\Odd\"Name Dir\\a.exe\""},
      {L"C:\\Temp\\", L"", L"C:\\Temp\\"},
      {L"C:\\With Blank\\", L"x", L"\"C:\\With Blank\\\" x"},
      // Arguments keep their own blanks, quotes and leading or trailing blanks.
      {L"a.exe", L"  two  leading", L"a.exe   two  leading"},
      {L"a.exe", L"trailing ", L"a.exe trailing "},
      {L"a.exe", L"\"quoted arg\" \\\"x\\\"", L"a.exe \"quoted arg\" \\\"x\\\""},
      {L"a.exe", L" ", L"a.exe  "},
      {L"", L"", L""},
      {L"", L"/quiet", L" /quiet"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(processCommandLine(c.executable, c.arguments), c.expected)
        << "executable: [" << c.executable << "] arguments: [" << c.arguments << "]";
  }
}

}  // namespace
}  // namespace tenvik

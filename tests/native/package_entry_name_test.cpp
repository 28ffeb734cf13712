#include "package/entry_name.h"

#include <gtest/gtest.h>

#include <string>

namespace tenvik {
namespace {

TEST(IsSafeEntryName, AcceptsRelativeNamesThatStayInside) {
  const char* const names[] = {
      "Sample.App.dll",
      "de/Sample.App.resources.dll",
      "runtimes\\win-x86\\native\\x.dll",  // already turned into backslashes
      "a/b/c/d/e/f.txt",
      ".hidden",
      "..file",  // dots followed by more than dots are a plain name
      "a..b/c",
      "x/.config/y",
      "console.txt",  // the whole stem must be the device name
      "COM0",
      "LPT10",
      "COM\xc2\xb0",  // a degree sign names no port
      "LPT\xc2\xb9x",
      "\xc3\xa9t\xc3\xa9/caf\xc3\xa9.txt",
      "a b/c (1) [x] {y} #&%$!'=+,;~^`@.txt",  // everything Windows allows
      "del\x7f",
  };
  for (const char* name : names) EXPECT_TRUE(isSafeEntryName(name)) << name;
}

TEST(IsSafeEntryName, RefusesNamesThatLeaveOrMissTheDirectory) {
  const std::string names[] = {
      "",
      "..",
      "../evil.dll",
      "a/../../evil.dll",
      "a\\..\\..\\evil.dll",
      "a/..",
      ".",
      "./a",
      "a/./b",
      "...",        // Windows trims it to nothing
      ".. /x",      // trailing blanks are dropped too, leaving ".."
      ". ./x",
      " /x",
      "/etc/passwd",
      "\\Windows\\evil.dll",
      "\\\\server\\share\\x",
      "//server/share/x",
      "\\\\?\\C:\\x",
      "C:evil.dll",
      "C:\\evil.dll",
      "c:/evil.dll",
      "file.txt:stream",
      "a//b",
      "a\\\\b",
      "a/",
      "a\\",
      std::string("a\0b", 3),
      "CON",
      "nul.txt",
      "sub/aux",
      "Com1.log",
      "lpt9",
      "PRN .txt",
      "COM\xc2\xb9", "com\xc2\xb2.txt", "sub/COM\xc2\xb3", "LPT\xc2\xb9", "lpt\xc2\xb2 .log", "LPT\xc2\xb3/x",
      "con.d/x",  // any extension still opens the device
      "x\" --evil \"y",  // a quote would break the quoting of the host's parameters
      "a<b", "a>b", "a|b", "what?", "*.dll", "dir/na*me",
      "tab\there", "line\nfeed", "\x1f", "bell\x07",
  };
  for (const auto& name : names) EXPECT_FALSE(isSafeEntryName(name)) << name;
}

}  // namespace
}  // namespace tenvik

#include "system/path.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

struct JoinCase {
  const wchar_t* left;
  const wchar_t* right;
  const wchar_t* expected;
};

TEST(JoinPath, AddsExactlyOneBackslash) {
  const JoinCase cases[] = {
      {L"C:\\ProgramData", L"Tenvik", L"C:\\ProgramData\\Tenvik"},
      {L"C:\\ProgramData\\Tenvik", L"Setup.tmp", L"C:\\ProgramData\\Tenvik\\Setup.tmp"},
      {L"C:\\Users\\u\\AppData\\Local\\Temp\\", L"DotNET-Setup.exe",
       L"C:\\Users\\u\\AppData\\Local\\Temp\\DotNET-Setup.exe"},
      {L"C:\\Program Files\\dotnet\\", L"dotnet.exe", L"C:\\Program Files\\dotnet\\dotnet.exe"},
      {L"C:\\a", L"\\b", L"C:\\a\\\\b"},   // right is taken as it stands
      {L"C:\\a/", L"b", L"C:\\a/\\b"},     // a forward slash is no separator
      {L"C:\\a", L"", L"C:\\a\\"},
      {L"C:\\a\\", L"", L"C:\\a\\"},
      {L"", L"dotnet.exe", L"dotnet.exe"},  // never looks before the text
  };
  for (const auto& c : cases) {
    EXPECT_EQ(joinPath(c.left, c.right), c.expected) << "left: " << c.left;
  }
}

TEST(ParentPath, CutsAtTheLastBackslash) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\a\\b\\file.dll", L"C:\\a\\b"},
      {L"C:\\a\\b\\", L"C:\\a\\b"},
      {L"C:\\a", L"C:"},
      {L"C:\\", L"C:"},
      {L"C:", L""},
      {L"file.dll", L""},
      {L"", L""},
      {L"C:\\a\\b/c", L"C:\\a"},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(parentPath(path), expected) << "path: " << path;
  }
}

TEST(ParentPath, RepeatedCutsEndAtTheEmptyString) {
  std::wstring path = L"\\\\server\\share\\a\\\\b\\";
  for (int steps = 0; !path.empty(); ++steps) {
    const std::wstring parent = parentPath(path);
    ASSERT_LT(parent.size(), path.size());
    path = parent;
    ASSERT_LT(steps, 20);
  }
}

}  // namespace
}  // namespace tenvik

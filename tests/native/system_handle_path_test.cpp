#include "system/handle_path.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

TEST(HandlePath, FullPathsGetTheirNativeForm) {
  struct Case {
    const wchar_t* path;
    const wchar_t* native;
  };
  const Case cases[] = {
      {L"C:\\ProgramData\\Tenvik.00ff", L"\\??\\C:\\ProgramData\\Tenvik.00ff"},
      {L"d:\\x", L"\\??\\d:\\x"},
      {L"\\\\?\\C:\\ProgramData\\Tenvik", L"\\??\\C:\\ProgramData\\Tenvik"},
      {L"\\??\\C:\\ProgramData", L"\\??\\C:\\ProgramData"},
      {L"\\\\server\\share\\dir", L"\\??\\UNC\\server\\share\\dir"},
      {L"\\\\?\\UNC\\server\\share\\dir", L"\\??\\UNC\\server\\share\\dir"},
      // Never resolved against the current directory or drive.
      {L"Tenvik.00ff", L""},
      {L"ProgramData\\Tenvik", L""},
      {L"C:Tenvik", L""},
      {L"\\ProgramData\\Tenvik", L""},
      {L"\\\\.\\C:\\x", L""},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(nativePathOf(c.path), c.native) << testing::PrintToString(c.path);
}

TEST(HandlePath, AFinalPathNamesThePathOnlyWhenNothingButThePrefixAndLetterCaseDiffer) {
  struct Case {
    const wchar_t* finalPath;
    const wchar_t* path;
    bool same;
  };
  const Case cases[] = {
      {L"\\\\?\\C:\\ProgramData\\Tenvik\\Setup.tmp", L"C:\\ProgramData\\Tenvik\\Setup.tmp", true},
      {L"\\\\?\\C:\\programdata\\TENVIK\\setup.TMP", L"C:\\ProgramData\\Tenvik\\Setup.tmp", true},
      {L"\\\\?\\c:\\ProgramData\\Tenvik", L"C:\\ProgramData\\Tenvik", true},
      {L"\\\\?\\C:\\ProgramData\\Tenvik", L"\\\\?\\C:\\ProgramData\\Tenvik", true},
      {L"\\\\?\\UNC\\server\\share\\Tenvik", L"\\\\server\\share\\Tenvik", true},
      {L"C:\\ProgramData\\Tenvik", L"C:\\ProgramData\\Tenvik", true},
      // Redirected somewhere else by a link on the way.
      {L"\\\\?\\C:\\Users\\u\\planted", L"C:\\ProgramData\\Tenvik", false},
      {L"\\\\?\\D:\\ProgramData\\Tenvik", L"C:\\ProgramData\\Tenvik", false},
      {L"\\\\?\\C:\\ProgramData\\Tenvik.0123\\Setup.tmp", L"C:\\ProgramData\\Tenvik\\Setup.tmp", false},
      {L"\\\\?\\C:\\ProgramData\\Tenvik\\Setup.tmp\\x", L"C:\\ProgramData\\Tenvik\\Setup.tmp", false},
      {L"\\\\?\\C:\\ProgramData\\Tenvik\\Setup.tm", L"C:\\ProgramData\\Tenvik\\Setup.tmp", false},
      {L"\\\\?\\C:\\ProgramData\\Tenvik\\", L"C:\\ProgramData\\Tenvik", false},
      {L"\\\\?\\C:\\PROGRA~3\\Tenvik", L"C:\\ProgramData\\Tenvik", false},
      // Only A to Z fold; other letters must match exactly.
      {L"\\\\?\\C:\\ProgramData\\\u00c4pfel", L"C:\\ProgramData\\\u00e4pfel", false},
      {L"\\\\?\\C:\\ProgramData\\\u00e4pfel", L"C:\\ProgramData\\\u00e4pfel", true},
      // Nothing is the same as a relative or empty path.
      {L"", L"", false},
      {L"\\\\?\\C:\\x", L"x", false},
      {L"Setup.tmp", L"Setup.tmp", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(namesSamePath(c.finalPath, c.path), c.same)
        << testing::PrintToString(c.finalPath) << " vs " << testing::PrintToString(c.path);
  }
}

}  // namespace
}  // namespace tenvik

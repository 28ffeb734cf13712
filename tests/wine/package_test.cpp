#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "package/extract_package.h"
#include "package/payload_container.h"
#include "package/text_conversion.h"
#include "support/setup_image.h"
#include "support/wine_support.h"
#include "system/path.h"

namespace tenvik {
namespace {

using test::listFilesRecursive;
using test::readFileBytes;

std::string entry(const std::string& name, const std::string& data) {
  return test::packageArchive({{name, data}});
}

std::wstring backslashed(const std::string& utf8Name) {
  std::wstring name = test::widen(utf8Name);
  std::replace(name.begin(), name.end(), L'/', L'\\');
  return name;
}

// Each test gets a scratch directory holding the work directory, with the
// package file inside it as in a real run. Anything that escapes the work
// directory shows up in the scratch directory's listing.
class Package : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = test::makeScratchDirectory(L"package");
    work_ = joinPath(scratch_, L"Setup.tmp");
    ASSERT_TRUE(CreateDirectoryW(work_.c_str(), nullptr));
    package_ = joinPath(work_, L".package");
  }
  void TearDown() override { test::deleteTree(scratch_); }

  // The archive compressed as one gzip member, written by zlib's own writer.
  void writePackage(const std::string& archive) {
    gzFile out = gzopen_w(package_.c_str(), "wb9");
    ASSERT_NE(out, nullptr);
    if (!archive.empty()) {
      ASSERT_EQ(gzwrite(out, archive.data(), static_cast<unsigned>(archive.size())),
                static_cast<int>(archive.size()));
    }
    ASSERT_EQ(gzclose(out), Z_OK);
  }

  PackageExtraction extract() { return extractPackage(package_, work_); }

  // Files below the work directory other than the package file itself.
  std::vector<std::wstring> extracted() const {
    auto files = listFilesRecursive(work_);
    files.erase(std::remove(files.begin(), files.end(), L".package"), files.end());
    return files;
  }

  std::wstring at(const std::string& utf8Name) const { return joinPath(work_, backslashed(utf8Name)); }

  std::wstring scratch_, work_, package_;
};

TEST_F(Package, NonAsciiNamesBecomeTheSameWindowsNamesInANonAsciiWorkDirectory) {
  work_ = joinPath(scratch_, L"Donn\x00e9es \x65e5\x672c \x0416");
  ASSERT_TRUE(CreateDirectoryW(work_.c_str(), nullptr));
  package_ = joinPath(work_, L".package");
  const std::string name = "donn\xc3\xa9" "es/\xe6\x97\xa5\xe6\x9c\xac/\xf0\x9f\x98\x80.txt";
  writePackage(entry(name, "unicode") + entry("lib/x.dll", "x"));
  const PackageExtraction package = extract();
  EXPECT_TRUE(package.intact);
  EXPECT_EQ(package.launchTarget, joinPath(work_, L"donn\u00e9es\\\u65e5\u672c\\\U0001F600.txt"));
  EXPECT_EQ(readFileBytes(joinPath(work_, L"donn\u00e9es\\\u65e5\u672c\\\U0001F600.txt")), "unicode");
  EXPECT_EQ(readFileBytes(joinPath(work_, L"lib\\x.dll")), "x");
}

TEST_F(Package, LaterUnsafeEntriesAreSkippedAndMakeThePackageUnfitToLaunch) {
  const std::string drive = test::narrow(scratch_.substr(0, 2));  // the scratch drive, e.g. "C:"
  writePackage(entry("App.dll", "a") + entry("../../escaped.txt", "x") +
               entry("sub/../../escaped2.txt", "x") + entry(drive + "escaped3.txt", "x") +
               entry(test::narrow(scratch_) + "\\escaped4.txt", "x") +
               entry("/escaped5.txt", "x") + entry("CON", "x") + entry("file.txt:stream", "x") +
               entry("last.txt", "l"));
  const PackageExtraction package = extract();
  EXPECT_FALSE(package.intact);
  EXPECT_EQ(package.launchTarget, at("App.dll"));
  EXPECT_EQ(extracted(), (std::vector<std::wstring>{L"App.dll", L"last.txt"}));
  // Nothing landed next to the work directory either.
  EXPECT_EQ(listFilesRecursive(scratch_),
            (std::vector<std::wstring>{L"Setup.tmp\\.package", L"Setup.tmp\\App.dll",
                                       L"Setup.tmp\\last.txt"}));
}

TEST_F(Package, AReportFollowsThePackageFileToItsEndAndCanStopTheExtraction) {
  std::string large;
  for (int i = 0; i < 40; ++i) large += std::string(100000, static_cast<char>('a' + i % 26)) + std::to_string(i);
  writePackage(entry("App.dll", "a") + entry("big.bin", large) + entry("last.txt", "l"));
  const uint64_t size = readFileBytes(package_).size();
  std::vector<std::pair<uint64_t, uint64_t>> reports;
  const PackageExtraction whole = extractPackage(package_, work_, [&](uint64_t done, uint64_t total) {
    reports.emplace_back(done, total);
    return true;
  });
  EXPECT_TRUE(whole.intact);
  ASSERT_EQ(reports.size(), 3u);  // one per entry
  EXPECT_LT(reports[0].first, reports[1].first);
  EXPECT_EQ(reports.back(), std::make_pair(size, size));

  test::deleteTree(at("App.dll"));
  test::deleteTree(at("big.bin"));
  test::deleteTree(at("last.txt"));
  const PackageExtraction stopped =
      extractPackage(package_, work_, [](uint64_t, uint64_t) { return false; });
  EXPECT_FALSE(stopped.intact);
  EXPECT_EQ(extracted(), std::vector<std::wstring>{L"App.dll"});
}

TEST_F(Package, ThePackageFileIsClosedAfterExtraction) {
  writePackage(entry("App.dll", "a"));
  extract();
  // Share mode 0 succeeds only when no handle to the file is left open.
  HANDLE file = CreateFileW(package_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

// The payload that the build packed into Setup.exe decodes and extracts to the
// sample application, as the resource compiler left it.
TEST_F(Package, SetupPayloadResourceHoldsTheSampleApplication) {
  HMODULE setup = LoadLibraryExW(test::buildPath(L"Setup.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(setup, nullptr);
  HRSRC found = FindResourceW(setup, MAKEINTRESOURCEW(102), RT_BITMAP);
  ASSERT_NE(found, nullptr);
  const auto* data = static_cast<const char*>(LockResource(LoadResource(setup, found)));
  const std::string resource(data, SizeofResource(setup, found));
  FreeLibrary(setup);

  const auto payload = decodePayload(resource);
  ASSERT_TRUE(payload);
  EXPECT_EQ(payload->substr(0, 3), "\x1f\x8b\x08");
  test::writeFileBytes(package_, std::string(*payload));

  const PackageExtraction package = extract();
  EXPECT_TRUE(package.intact);
  EXPECT_EQ(package.launchTarget, at("Sample.App.dll"));
  const std::wstring sample = test::sourcePath(L"tests\\data\\sample-app");
  const auto expected = listFilesRecursive(sample);
  EXPECT_EQ(extracted(), expected);
  for (const auto& name : expected) {
    EXPECT_EQ(readFileBytes(joinPath(work_, name)), readFileBytes(joinPath(sample, name)))
        << test::narrow(name);
  }
}

struct Conversion {
  const wchar_t* wide;
  const char* utf8;
};

TEST(TextConversion, RoundTripsCutsAtAZeroByteAndReplacesMalformedInput) {
  const Conversion cases[] = {
      {L"", ""},
      {L"plain", "plain"},
      {L"caf\u00e9", "caf\xc3\xa9"},
      {L"\u65e5\u672c\u8a9e", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},
      {L"\U0001F600", "\xf0\x9f\x98\x80"},  // a surrogate pair
      {L"C:\\ProgramData\\T\u00e9nvik\\Setup.tmp", "C:\\ProgramData\\T\xc3\xa9nvik\\Setup.tmp"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toUTF8(c.wide), c.utf8) << c.utf8;
    EXPECT_EQ(toUTF16(c.utf8), c.wide) << c.utf8;
  }
  // UTF-16 stops at the first zero byte; malformed input is replaced, not refused.
  EXPECT_EQ(toUTF16(std::string("ab\0cd", 5)), L"ab");
  EXPECT_EQ(toUTF16(std::string("\0ab", 3)), L"");
  EXPECT_EQ(toUTF16("a\xff" "b"), L"a\uFFFD" L"b");
  EXPECT_EQ(toUTF8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd");
}

}  // namespace
}  // namespace tenvik

#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "package/extract_package.h"
#include "package/payload_container.h"
#include "package/payload_resource.h"
#include "package/text_conversion.h"
#include "archive_writer.h"
#include "support/setup_image.h"
#include "support/wine_support.h"
#include "system/path.h"

namespace tenvik {
namespace {

using test::fileExists;
using test::listFilesRecursive;
using test::readFileBytes;

std::string entry(const std::string& name, const std::string& data) {
  return test::packageArchive({{name, data}});
}

std::string noise(size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(seed >> 16);
  }
  return bytes;
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

  std::wstring extract() { return extractPackage(package_, work_); }

  // Files below the work directory other than the package file itself.
  std::vector<std::wstring> extracted() const {
    auto files = listFilesRecursive(work_);
    files.erase(std::remove(files.begin(), files.end(), L".package"), files.end());
    return files;
  }

  std::wstring at(const std::string& utf8Name) const { return joinPath(work_, backslashed(utf8Name)); }

  std::wstring scratch_, work_, package_;
};

TEST_F(Package, WritesEveryEntryByteForByte) {
  std::map<std::wstring, std::string> expected;
  std::string archive = entry("App.dll", "the application");
  expected[L"App.dll"] = "the application";
  for (int i = 0; i < 150; ++i) {
    const std::string name = "lib/level" + std::to_string(i % 7) + "/sub" + std::to_string(i % 3) +
                             "/file" + std::to_string(i) + ".bin";
    const std::string data = noise(static_cast<size_t>(i * 37), static_cast<std::uint32_t>(i));
    archive += entry(name, data);
    expected[backslashed(name)] = data;
  }
  archive += entry("empty/nothing.txt", "");
  expected[L"empty\\nothing.txt"] = "";
  writePackage(archive);

  EXPECT_EQ(extract(), joinPath(work_, L"App.dll"));
  std::vector<std::wstring> names;
  for (const auto& [name, data] : expected) {
    names.push_back(name);
    EXPECT_EQ(readFileBytes(joinPath(work_, name)), data) << test::narrow(name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(extracted(), names);
}

TEST_F(Package, LaterEntryOfTheSameNameWinsButTheTargetStaysFirst) {
  writePackage(entry("dir/App.dll", "first") + entry("other.txt", "o") +
               entry("dir/App.dll", "second, longer"));
  EXPECT_EQ(extract(), joinPath(work_, L"dir\\App.dll"));
  EXPECT_EQ(readFileBytes(at("dir/App.dll")), "second, longer");
}

TEST_F(Package, WritesALargeEntryWhole) {
  const std::string big = noise(9 * 1024 * 1024 + 3, 99);
  writePackage(entry("App.dll", "a") + entry("runtimes/big.bin", big) + entry("z.txt", "z"));
  EXPECT_EQ(extract(), at("App.dll"));
  EXPECT_EQ(readFileBytes(at("runtimes/big.bin")), big);
  EXPECT_EQ(readFileBytes(at("z.txt")), "z");
}

TEST_F(Package, ExtractsInAWorkDirectoryWithANonAsciiPath) {
  work_ = joinPath(scratch_, L"Donn\x00e9es \x65e5\x672c \x0416");
  ASSERT_TRUE(CreateDirectoryW(work_.c_str(), nullptr));
  package_ = joinPath(work_, L".package");
  writePackage(entry("App.dll", "app") + entry("lib/x.dll", "x"));
  EXPECT_EQ(extract(), joinPath(work_, L"App.dll"));
  EXPECT_EQ(readFileBytes(joinPath(work_, L"lib\\x.dll")), "x");
}

TEST_F(Package, NonAsciiNamesBecomeTheSameWindowsNames) {
  const std::string name = "donn\xc3\xa9" "es/\xe6\x97\xa5\xe6\x9c\xac/\xf0\x9f\x98\x80.txt";
  writePackage(entry(name, "unicode") + entry("b", "b"));
  EXPECT_EQ(extract(), joinPath(work_, L"donn\u00e9es\\\u65e5\u672c\\\U0001F600.txt"));
  EXPECT_EQ(readFileBytes(joinPath(work_, L"donn\u00e9es\\\u65e5\u672c\\\U0001F600.txt")), "unicode");
}

// Every file that is written must be whole: a truncated or damaged package
// may lose entries at its end, never present a cut-short file as complete.
void expectOnlyWholeFiles(const std::vector<std::wstring>& files,
                          const std::vector<std::pair<std::string, std::string>>& entries,
                          const std::wstring& work) {
  for (const auto& file : files) {
    const auto match = std::find_if(entries.begin(), entries.end(),
                                    [&](const auto& e) { return backslashed(e.first) == file; });
    ASSERT_NE(match, entries.end()) << test::narrow(file);
    EXPECT_EQ(readFileBytes(joinPath(work, file)), match->second) << test::narrow(file);
  }
}

std::vector<std::pair<std::string, std::string>> sizeableEntries() {
  std::vector<std::pair<std::string, std::string>> entries = {{"App.dll", noise(5000, 1)}};
  for (int i = 0; i < 12; ++i) entries.push_back({"part" + std::to_string(i), noise(40000, 2 + i)});
  return entries;
}

std::string archiveOf(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string archive;
  for (const auto& [name, data] : entries) archive += entry(name, data);
  return archive;
}

TEST_F(Package, TruncatedPackageWritesOnlyWholeEntries) {
  const auto entries = sizeableEntries();
  writePackage(archiveOf(entries));
  std::string compressed = readFileBytes(package_);
  test::writeFileBytes(package_, compressed.substr(0, compressed.size() * 2 / 3));

  EXPECT_EQ(extract(), at("App.dll"));
  const auto files = extracted();
  EXPECT_LT(files.size(), entries.size());
  EXPECT_FALSE(files.empty());
  expectOnlyWholeFiles(files, entries, work_);
}

TEST_F(Package, FailedIntegrityCheckLosesTheTailNotTheWholeness) {
  const auto entries = sizeableEntries();
  writePackage(archiveOf(entries));
  std::string compressed = readFileBytes(package_);
  compressed[compressed.size() - 6] ^= 0x01;  // inside the CRC-32
  test::writeFileBytes(package_, compressed);

  extract();
  const auto files = extracted();
  EXPECT_LT(files.size(), entries.size());
  expectOnlyWholeFiles(files, entries, work_);
}

TEST_F(Package, UnsafeFirstEntryLeavesNoLaunchTarget) {
  writePackage(entry("../escaped.dll", "x") + entry("kept.txt", "k") + entry("sub/also.txt", "a"));
  EXPECT_EQ(extract(), L"");
  EXPECT_EQ(extracted(), (std::vector<std::wstring>{L"kept.txt", L"sub\\also.txt"}));
  EXPECT_FALSE(fileExists(joinPath(scratch_, L"escaped.dll")));
}

TEST_F(Package, LaterUnsafeEntriesAreSkipped) {
  const std::string drive = test::narrow(scratch_.substr(0, 2));  // the scratch drive, e.g. "C:"
  writePackage(entry("App.dll", "a") + entry("../../escaped.txt", "x") +
               entry("sub/../../escaped2.txt", "x") + entry(drive + "escaped3.txt", "x") +
               entry(test::narrow(scratch_) + "\\escaped4.txt", "x") +
               entry("/escaped5.txt", "x") + entry("CON", "x") + entry("file.txt:stream", "x") +
               entry("last.txt", "l"));
  EXPECT_EQ(extract(), at("App.dll"));
  EXPECT_EQ(extracted(), (std::vector<std::wstring>{L"App.dll", L"last.txt"}));
  // Nothing landed next to the work directory either.
  EXPECT_EQ(listFilesRecursive(scratch_),
            (std::vector<std::wstring>{L"Setup.tmp\\.package", L"Setup.tmp\\App.dll",
                                       L"Setup.tmp\\last.txt"}));
}

TEST_F(Package, HugeDeclaredLengthEndsTheExtractionCleanly) {
  writePackage(entry("App.dll", "a") + entry("fine.txt", "f") + packer::lengthField(4) + "huge" +
               packer::lengthField(0xFFFFFFF0u) + std::string(100000, 'h'));
  EXPECT_EQ(extract(), at("App.dll"));
  EXPECT_EQ(extracted(), (std::vector<std::wstring>{L"App.dll", L"fine.txt"}));

  writePackage(packer::lengthField(0xFFFFFFFFu) + "short");
  EXPECT_EQ(extract(), L"");
}

TEST_F(Package, MissingOrEmptyPackageWritesNothing) {
  EXPECT_EQ(extract(), L"");  // no package file yet
  EXPECT_TRUE(extracted().empty());

  test::writeFileBytes(package_, "");
  EXPECT_EQ(extract(), L"");
  writePackage("");  // an empty gzip member
  EXPECT_EQ(extract(), L"");
  EXPECT_TRUE(extracted().empty());
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

TEST_F(Package, WritePayloadWritesNothingWithoutThePayloadResource) {
  // This test program carries no bitmap 102.
  writePayload(package_);
  EXPECT_FALSE(fileExists(package_));
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

  EXPECT_EQ(extract(), at("Sample.App.dll"));
  const std::wstring sample = test::sourcePath(L"samples\\app");
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

TEST(TextConversion, RoundTripsNonAsciiText) {
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
}

TEST(TextConversion, Utf16StopsAtTheFirstZeroByte) {
  EXPECT_EQ(toUTF16(std::string("ab\0cd", 5)), L"ab");
  EXPECT_EQ(toUTF16(std::string("\0ab", 3)), L"");
}

TEST(TextConversion, MalformedInputIsReplacedNotRefused) {
  EXPECT_EQ(toUTF16("a\xff" "b"), L"a\uFFFD" L"b");
  EXPECT_EQ(toUTF8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd");
}

}  // namespace
}  // namespace tenvik

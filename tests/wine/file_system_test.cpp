#include "system/file_system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "open_handles.h"
#include "support/wine_support.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

using test::directoryExists;
using test::fileExists;
using test::readFileBytes;

class FileSystem : public ::testing::Test {
 protected:
  void SetUp() override { root_ = test::makeScratchDirectory(L"fs"); }
  void TearDown() override { test::deleteTree(root_); }
  std::wstring at(const std::wstring& relative) const { return root_ + L"\\" + relative; }
  std::wstring root_;
};

TEST_F(FileSystem, WriteFileCreatesEveryMissingLevelThenTheFile) {
  const std::string content("a\0b\r\nc", 6);
  ASSERT_TRUE(writeFile(at(L"one\\two\\three\\file.bin"), content));
  EXPECT_EQ(readFileBytes(at(L"one\\two\\three\\file.bin")), content);
}

TEST_F(FileSystem, WriteFileReplacesALongerFileAndWritesEmptyFiles) {
  ASSERT_TRUE(writeFile(at(L"f"), std::string(5000, 'x')));
  ASSERT_TRUE(writeFile(at(L"f"), "short"));
  EXPECT_EQ(readFileBytes(at(L"f")), "short");
  ASSERT_TRUE(writeFile(at(L"f"), ""));
  EXPECT_TRUE(fileExists(at(L"f")));
  EXPECT_EQ(readFileBytes(at(L"f")), "");
}

TEST_F(FileSystem, WriteFileWritesContentsLargerThanOnePieceWhole) {
  std::string content(20 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 2654435761u >> 24);
  ASSERT_TRUE(writeFile(at(L"big"), content));
  EXPECT_EQ(readFileBytes(at(L"big")), content);
}

TEST_F(FileSystem, WriteFileFailsWhileTheFileIsHeldOpen) {
  ASSERT_TRUE(writeFile(at(L"held"), "before"));
  UniqueFileHandle holder(CreateFileW(at(L"held").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  EXPECT_FALSE(writeFile(at(L"held"), "after"));
  holder.reset();
  EXPECT_EQ(readFileBytes(at(L"held")), "before");
  EXPECT_EQ(test::listFilesRecursive(root_), std::vector<std::wstring>{L"held"});
}

TEST_F(FileSystem, WriteFileFailsForAnInvalidName) {
  EXPECT_FALSE(writeFile(at(L"bad|name"), "x"));
  EXPECT_TRUE(test::listFilesRecursive(root_).empty());
}

TEST_F(FileSystem, CreateDirectoriesReportsOnlyWhatItCreated) {
  EXPECT_FALSE(createDirectories(L""));
  EXPECT_TRUE(createDirectories(at(L"a\\b\\c")));
  EXPECT_TRUE(directoryExists(at(L"a\\b\\c")));
  EXPECT_FALSE(createDirectories(at(L"a\\b\\c")));  // already there
  EXPECT_FALSE(createDirectories(root_));
}

TEST_F(FileSystem, CreateDirectoriesOnAMissingDriveCreatesNothing) {
  const DWORD drives = GetLogicalDrives();
  wchar_t letter = L'Y';
  while (letter > L'D' && (drives & (1u << (letter - L'A')))) --letter;
  ASSERT_FALSE(drives & (1u << (letter - L'A'))) << "no free drive letter";
  const std::wstring path = std::wstring(1, letter) + L":\\tenvik\\a\\b";
  EXPECT_FALSE(createDirectories(path));
  EXPECT_FALSE(directoryExists(path));
}

TEST_F(FileSystem, RemoveThenCreateLeavesAnEmptyDirectory) {
  const std::wstring work = at(L"Tenvik\\Setup.tmp");
  // Not there yet.
  EXPECT_FALSE(removeDirectory(work));
  EXPECT_TRUE(createDirectories(work));
  // A stale tree with a read-only file from an earlier run.
  ASSERT_TRUE(writeFile(work + L"\\stale\\deep\\old.dll", "old"));
  ASSERT_TRUE(SetFileAttributesW((work + L"\\stale\\deep\\old.dll").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(removeDirectory(work));
  EXPECT_FALSE(directoryExists(work));
  EXPECT_TRUE(createDirectories(work));
  EXPECT_TRUE(test::listFilesRecursive(work).empty());
  EXPECT_TRUE(directoryExists(at(L"Tenvik")));
}

TEST_F(FileSystem, RemoveDirectoryTakesATreeOfEveryKindOfEntry) {
  const std::wstring work = at(L"work");
  ASSERT_TRUE(writeFile(work + L"\\App.dll", "app"));
  ASSERT_TRUE(writeFile(work + L"\\a\\b\\c\\deep.txt", "deep"));
  ASSERT_TRUE(createDirectories(work + L"\\a\\empty"));
  ASSERT_TRUE(writeFile(work + L"\\a\\ro.txt", "ro"));
  ASSERT_TRUE(SetFileAttributesW((work + L"\\a\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(writeFile(work + L"\\a\\b\\system.dat", "sys"));
  ASSERT_TRUE(SetFileAttributesW((work + L"\\a\\b\\system.dat").c_str(), FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(writeFile(work + L"\\rodir\\inside.txt", "x"));
  ASSERT_TRUE(SetFileAttributesW((work + L"\\rodir").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(writeFile(work + L"\\\x00e9t\x00e9 \x4e2d.txt", "wide"));
  // More entries than one answer of the listing holds.
  for (int i = 0; i < 700; ++i) {
    ASSERT_TRUE(writeFile(work + L"\\many\\entry-with-a-rather-long-name-to-fill-the-listing-" + std::to_wstring(i), ""));
  }
  ASSERT_EQ(test::listFilesRecursive(work).size(), 706u);

  EXPECT_TRUE(removeDirectory(work));
  EXPECT_FALSE(directoryExists(work));
  EXPECT_FALSE(fileExists(work));
  EXPECT_TRUE(directoryExists(root_));
}

TEST_F(FileSystem, RemoveDirectoryLeavesNoHandleOpen) {
  const long before = test::openHandleCount();
  if (before < 0) GTEST_SKIP() << "the platform does not list handles";
  ASSERT_TRUE(writeFile(at(L"work\\sub\\file.txt"), "x"));
  EXPECT_TRUE(removeDirectory(at(L"work")));
  EXPECT_FALSE(removeDirectory(at(L"work")));  // nothing there
  EXPECT_EQ(test::openHandleCount(), before);
}

TEST_F(FileSystem, RemoveDirectoryReportsAFileThatStaysHeldOpen) {
  const std::wstring work = at(L"work");
  ASSERT_TRUE(writeFile(work + L"\\held.txt", "x"));
  UniqueFileHandle holder(
      CreateFileW((work + L"\\held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  EXPECT_FALSE(removeDirectory(work));  // gives up after its retries, shows nothing
  holder.reset();
  EXPECT_TRUE(removeDirectory(work));
  EXPECT_FALSE(directoryExists(work));
}

DWORD WINAPI closeSoon(void* handle) {
  Sleep(60);
  CloseHandle(handle);
  return 0;
}

TEST_F(FileSystem, RemoveDirectoryWaitsForAFileThatIsLetGoSoon) {
  const std::wstring work = at(L"work");
  ASSERT_TRUE(writeFile(work + L"\\held.txt", "x"));
  HANDLE holder = CreateFileW((work + L"\\held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  // A console host lets go of a folder some tens of milliseconds after its
  // program ended; the removal must outlast that, not give up on it.
  UniqueKernelHandle releaser(CreateThread(nullptr, 0, closeSoon, holder, 0, nullptr));
  ASSERT_TRUE(releaser);
  EXPECT_TRUE(removeDirectory(work));
  WaitForSingleObject(releaser.get(), INFINITE);
  EXPECT_FALSE(directoryExists(work));
}

// A holder that shares deletion lets the file be marked, but under the
// classic delete its name stays until the holder lets go, and with it the
// directory; with POSIX semantics (Windows 10 on NTFS) both go at once.
TEST_F(FileSystem, RemoveDirectoryOutlastsAHolderThatSharesDeletion) {
  const std::wstring work = at(L"work");
  ASSERT_TRUE(writeFile(work + L"\\shared.txt", "x"));
  HANDLE holder = CreateFileW((work + L"\\shared.txt").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  UniqueKernelHandle releaser(CreateThread(nullptr, 0, closeSoon, holder, 0, nullptr));
  ASSERT_TRUE(releaser);
  EXPECT_TRUE(removeDirectory(work));
  WaitForSingleObject(releaser.get(), INFINITE);
  EXPECT_FALSE(directoryExists(work));
}

// What the run needs for a directory it holds open without FILE_SHARE_DELETE
// from its creation to its removal.
UniqueFileHandle holdDirectory(const std::wstring& path, DWORD share) {
  return UniqueFileHandle(CreateFileW(
      path.c_str(), DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE, share,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

TEST_F(FileSystem, RemoveDirectoryByHandleRemovesAHeldDirectory) {
  const std::wstring work = at(L"work");
  ASSERT_TRUE(writeFile(work + L"\\.package", "package"));
  ASSERT_TRUE(writeFile(work + L"\\runtimes\\win\\lib.dll", "lib"));
  ASSERT_TRUE(SetFileAttributesW((work + L"\\runtimes\\win\\lib.dll").c_str(), FILE_ATTRIBUTE_READONLY));
  UniqueFileHandle held = holdDirectory(work, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_TRUE(held);
  const long before = test::openHandleCount();

  EXPECT_TRUE(removeDirectoryByHandle(held.get()));
  EXPECT_TRUE(test::listFilesRecursive(work).empty());
  if (before >= 0) {
    EXPECT_EQ(test::openHandleCount(), before);
  }
  held.reset();  // the classic delete waits for the last handle
  EXPECT_FALSE(directoryExists(work));
  EXPECT_TRUE(directoryExists(root_));
}

// The directory was moved away after it was opened and another one made in
// its place: the removal stays with what it opened and never touches the
// newcomer, which a walk by path would empty. Windows removes the moved
// tree; Wine deletes an entry by the name it was opened with, which no
// longer leads to it, so there the moved tree stays.
TEST_F(FileSystem, RemoveDirectoryByHandleStaysWithTheDirectoryItOpened) {
  const std::wstring work = at(L"work");
  ASSERT_TRUE(writeFile(work + L"\\App.dll", "ours"));
  ASSERT_TRUE(writeFile(work + L"\\sub\\lib.dll", "ours"));
  UniqueFileHandle held = holdDirectory(work, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(held);
  ASSERT_TRUE(MoveFileW(work.c_str(), at(L"moved").c_str()));
  ASSERT_TRUE(writeFile(work + L"\\App.dll", "theirs"));
  ASSERT_TRUE(writeFile(work + L"\\sub\\lib.dll", "theirs"));
  ASSERT_TRUE(writeFile(work + L"\\victim.txt", "theirs"));

  const bool removed = removeDirectoryByHandle(held.get());
  held.reset();
  EXPECT_EQ(readFileBytes(work + L"\\App.dll"), "theirs");
  EXPECT_EQ(readFileBytes(work + L"\\sub\\lib.dll"), "theirs");
  EXPECT_EQ(readFileBytes(work + L"\\victim.txt"), "theirs");
  if (removed) {
    EXPECT_FALSE(directoryExists(at(L"moved")));
  }
}

// The shell's removal went through a link into its target. Windows removes
// the link itself; Wine cannot remove a Unix link to a directory from Windows
// code, so there it stays and the removal reports failure. Either way the
// target and its contents are untouched and the rest of the tree is gone.
// (Wine shows a Unix link to a file as a plain file and deletes its target
// with any delete, so a file link cannot be shown here; Windows reports it as
// a reparse point like any other link.)
TEST_F(FileSystem, RemoveDirectoryNeverFollowsALinkInsideTheTree) {
  ASSERT_TRUE(writeFile(at(L"outside\\keep.txt"), "keep"));
  ASSERT_TRUE(writeFile(at(L"work\\sub\\App.dll"), "app"));
  ASSERT_TRUE(test::makeUnixLink(at(L"outside"), at(L"work\\sub\\link")));

  removeDirectory(at(L"work"));
  EXPECT_EQ(readFileBytes(at(L"outside\\keep.txt")), "keep");
  EXPECT_FALSE(fileExists(at(L"work\\sub\\App.dll")));

  test::removeUnixLink(at(L"work\\sub\\link"));
  EXPECT_TRUE(removeDirectory(at(L"work")));
  EXPECT_EQ(readFileBytes(at(L"outside\\keep.txt")), "keep");
}

// A link at the path itself: removed as a link on Windows, left under Wine;
// its target is never emptied.
TEST_F(FileSystem, RemoveDirectoryOnALinkNeverEmptiesItsTarget) {
  ASSERT_TRUE(writeFile(at(L"outside\\keep.txt"), "keep"));
  ASSERT_TRUE(writeFile(at(L"outside\\deeper\\keep.txt"), "keep"));
  ASSERT_TRUE(test::makeUnixLink(at(L"outside"), at(L"link")));

  removeDirectory(at(L"link"));
  EXPECT_EQ(readFileBytes(at(L"outside\\keep.txt")), "keep");
  EXPECT_EQ(readFileBytes(at(L"outside\\deeper\\keep.txt")), "keep");
  test::removeUnixLink(at(L"link"));
}

}  // namespace
}  // namespace tenvik

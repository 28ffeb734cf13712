// The folders an elevated run unpacks into. Wine keeps no descriptor of its
// own: it maps the one given at creation onto Unix mode bits and reports an
// owner of the current user for every file, so what shows here is that the
// folders are made with the protected descriptor, that whatever stood there
// before is not used as it stands, and that a link is never followed.

#include "system/protected_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/wine_support.h"
#include "system/file_system.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

using test::daclText;
using test::directoryExists;
using test::fileExists;
using test::grantsOthersNothing;
using test::readFileBytes;

class ProtectedFolder : public ::testing::Test {
 protected:
  void SetUp() override { root_ = test::makeScratchDirectory(L"protected"); }
  void TearDown() override {
    for (const std::wstring& link : links_) test::removeUnixLink(link);
    test::deleteTree(root_);
  }
  std::wstring at(const std::wstring& relative) const { return root_ + L"\\" + relative; }
  void plantLink(const std::wstring& target, const std::wstring& link) {
    ASSERT_TRUE(test::makeUnixLink(target, link));
    links_.push_back(link);
  }
  // A folder outside the tree with a file that must survive everything.
  std::wstring outsideFolder() {
    writeFile(at(L"outside\\keep.txt"), "keep");
    return at(L"outside");
  }
  bool outsideIsUntouched() const { return readFileBytes(at(L"outside\\keep.txt")) == "keep"; }

  std::wstring root_;
  std::vector<std::wstring> links_;
};

TEST_F(ProtectedFolder, BothLevelsAreMadeWithTheProtectedDescriptor) {
  // What Wine reports for a folder made without one: a read grant to Everyone.
  ASSERT_TRUE(CreateDirectoryW(at(L"ordinary").c_str(), nullptr));
  ASSERT_FALSE(grantsOthersNothing(at(L"ordinary"))) << daclText(at(L"ordinary"));

  ASSERT_TRUE(prepareProtectedFolder(at(L"Tenvik")));
  ASSERT_TRUE(makeFreshProtectedFolder(at(L"Tenvik\\Setup.tmp")));
  EXPECT_TRUE(grantsOthersNothing(at(L"Tenvik"))) << daclText(at(L"Tenvik"));
  EXPECT_TRUE(grantsOthersNothing(at(L"Tenvik\\Setup.tmp"))) << daclText(at(L"Tenvik\\Setup.tmp"));
  // A second run finds both in place and goes on.
  EXPECT_TRUE(prepareProtectedFolder(at(L"Tenvik")));
  EXPECT_TRUE(makeFreshProtectedFolder(at(L"Tenvik\\Setup.tmp")));
}

TEST_F(ProtectedFolder, AStaleWorkDirectoryIsReplacedByAnEmptyProtectedOne) {
  ASSERT_TRUE(createDirectories(at(L"Tenvik\\Setup.tmp")));
  writeFile(at(L"Tenvik\\Setup.tmp\\App.dll"), "planted");
  writeFile(at(L"Tenvik\\Setup.tmp\\deep\\er\\lib.dll"), "planted");
  ASSERT_TRUE(SetFileAttributesW(at(L"Tenvik\\Setup.tmp\\App.dll").c_str(), FILE_ATTRIBUTE_READONLY));
  writeFile(at(L"Tenvik\\other.txt"), "kept");

  ASSERT_TRUE(prepareProtectedFolder(at(L"Tenvik")));
  ASSERT_TRUE(makeFreshProtectedFolder(at(L"Tenvik\\Setup.tmp")));
  EXPECT_TRUE(test::listFilesRecursive(at(L"Tenvik\\Setup.tmp")).empty());
  EXPECT_TRUE(grantsOthersNothing(at(L"Tenvik\\Setup.tmp"))) << daclText(at(L"Tenvik\\Setup.tmp"));
  // The product folder is taken over, not emptied.
  EXPECT_EQ(readFileBytes(at(L"Tenvik\\other.txt")), "kept");
}

TEST_F(ProtectedFolder, AFileWhereAFolderBelongsIsReplaced) {
  writeFile(at(L"Tenvik"), "a file, not a folder");
  ASSERT_TRUE(prepareProtectedFolder(at(L"Tenvik")));
  EXPECT_TRUE(directoryExists(at(L"Tenvik")));
  writeFile(at(L"Tenvik\\Setup.tmp"), "a file again");
  ASSERT_TRUE(makeFreshProtectedFolder(at(L"Tenvik\\Setup.tmp")));
  EXPECT_TRUE(directoryExists(at(L"Tenvik\\Setup.tmp")));
}

// Windows removes the link itself and makes a new folder; Wine cannot remove
// a Unix link from Windows code, so there the folder cannot be made ours and
// the call says so. Either way the link's target is untouched and nothing
// is made through it.
TEST_F(ProtectedFolder, ALinkedFolderIsNeverFollowed) {
  const std::wstring outside = outsideFolder();
  plantLink(outside, at(L"Tenvik"));
  const bool productReady = prepareProtectedFolder(at(L"Tenvik"));
  EXPECT_TRUE(outsideIsUntouched());
  EXPECT_FALSE(directoryExists(at(L"outside\\Setup.tmp")));
  if (productReady) {
    EXPECT_EQ(GetFileAttributesW(at(L"Tenvik").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  }

  ASSERT_TRUE(CreateDirectoryW(at(L"Product").c_str(), nullptr));
  plantLink(outside, at(L"Product\\Setup.tmp"));
  const bool workReady = makeFreshProtectedFolder(at(L"Product\\Setup.tmp"));
  EXPECT_TRUE(outsideIsUntouched());
  if (workReady) {
    EXPECT_TRUE(test::listFilesRecursive(at(L"Product\\Setup.tmp")).empty());
  }
}

}  // namespace
}  // namespace tenvik

// The folders an elevated run writes into. Wine keeps no descriptor of its
// own: it maps the one given at creation onto Unix mode bits and reports the
// current user as the owner of every file, so here every folder that was
// already there is one of somebody else, and what shows is that such a
// folder is moved aside through the handle it was judged by and never used,
// that a new one is made with the protected descriptor, and that a link is
// never followed. Which owners and DACLs count as ours is decided in
// folder_trust.cpp and shown by its native tables.

#include "system/protected_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "open_handles.h"
#include "support/wine_support.h"
#include "system/file_system.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

using test::daclText;
using test::directoryExists;
using test::fileExists;
using test::grantsOthersNothing;
using test::movedAsideCopies;
using test::readFileBytes;

class ProtectedFolder : public ::testing::Test {
 protected:
  void SetUp() override { root_ = test::makeScratchDirectory(L"protected"); }
  void TearDown() override {
    for (const std::wstring& link : links_) test::removeUnixLink(link);
    test::deleteTree(root_);
  }
  std::wstring at(const std::wstring& relative) const { return root_ + L"\\" + relative; }
  std::wstring product() const { return at(L"Tenvik"); }
  void plantLink(const std::wstring& target, const std::wstring& link) {
    ASSERT_TRUE(test::makeUnixLink(target, link));
    links_.push_back(link);
  }
  // A folder outside the tree with a file that must survive everything.
  std::wstring outsideFolder() {
    writeFile(at(L"outside\\keep.txt"), "keep");
    return at(L"outside");
  }
  bool outsideIsUntouched() const {
    return readFileBytes(at(L"outside\\keep.txt")) == "keep" &&
           test::listFilesRecursive(at(L"outside")) == std::vector<std::wstring>{L"keep.txt"};
  }
  // What a run finds after prepareProductFolder made a new one: an empty,
  // protected folder it holds, not a link.
  void expectNewProductFolder(const ProductFolder& folder) const {
    ASSERT_TRUE(folder.handle);
    EXPECT_TRUE(folder.createdNow);
    EXPECT_TRUE(directoryExists(product()));
    EXPECT_EQ(GetFileAttributesW(product().c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_TRUE(test::listFilesRecursive(product()).empty());
    EXPECT_TRUE(grantsOthersNothing(product())) << daclText(product());
    EXPECT_TRUE(isStillAt(folder.handle.get(), product()));
  }

  std::wstring root_;
  std::vector<std::wstring> links_;
};

TEST_F(ProtectedFolder, AMissingProductFolderIsMadeProtectedAndHeld) {
  // What Wine reports for a folder made without a descriptor: a read grant to Everyone.
  ASSERT_TRUE(CreateDirectoryW(at(L"ordinary").c_str(), nullptr));
  ASSERT_FALSE(grantsOthersNothing(at(L"ordinary"))) << daclText(at(L"ordinary"));

  const ProductFolder folder = prepareProductFolder(product());
  expectNewProductFolder(folder);
  EXPECT_TRUE(movedAsideCopies(product()).empty());
  EXPECT_FALSE(prepareProductFolder(L"Tenvik").handle) << "a relative path";
}

TEST_F(ProtectedFolder, AFolderOfSomebodyElseIsMovedAsideWithWhatItHolds) {
  ASSERT_TRUE(createDirectories(product() + L"\\Setup.tmp"));
  ASSERT_TRUE(writeFile(product() + L"\\notes.txt", "theirs"));
  ASSERT_TRUE(writeFile(product() + L"\\Setup.tmp\\App.dll", "planted"));

  const ProductFolder folder = prepareProductFolder(product());
  expectNewProductFolder(folder);
  const std::vector<std::wstring> copies = movedAsideCopies(product());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(readFileBytes(copies[0] + L"\\notes.txt"), "theirs");
  EXPECT_EQ(readFileBytes(copies[0] + L"\\Setup.tmp\\App.dll"), "planted");
}

TEST_F(ProtectedFolder, AFileWhereTheFolderBelongsIsMovedAside) {
  ASSERT_TRUE(writeFile(product(), "a file, not a folder"));
  const ProductFolder folder = prepareProductFolder(product());
  expectNewProductFolder(folder);
  const std::vector<std::wstring> copies = movedAsideCopies(product());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(readFileBytes(copies[0]), "a file, not a folder");
}

// Wine enforces share modes on files only, so a file stands in for a folder
// its owner holds without sharing deletion. The run gets a protected folder
// of its own beside it, removed through its hold.
TEST_F(ProtectedFolder, WhatCannotBeMovedIsLeftAsItIsAndTheRunGetsAFolderOfItsOwn) {
  ASSERT_TRUE(writeFile(product(), "held by its owner"));
  UniqueFileHandle owner(CreateFileW(product().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(owner);
  ProductFolder folder = prepareProductFolder(product());
  owner.reset();
  ASSERT_TRUE(folder.handle);
  EXPECT_TRUE(folder.runOwn);
  EXPECT_EQ(movedAsideCopies(product()), std::vector<std::wstring>{folder.path});
  EXPECT_TRUE(grantsOthersNothing(folder.path)) << daclText(folder.path);
  EXPECT_TRUE(isStillAt(folder.handle.get(), folder.path));
  EXPECT_EQ(readFileBytes(product()), "held by its owner");
  ASSERT_TRUE(writeFile(folder.path + L"\\Setup.tmp\\App.dll", "the run's"));
  EXPECT_TRUE(removeHeldFolder(folder.handle, folder.path));
  EXPECT_TRUE(movedAsideCopies(product()).empty());
}

// Windows opens the link itself, judges it a reparse point and moves the
// link aside. Wine follows a Unix link whatever it is asked: the handle
// stands for the target, its final path is not the product folder's, and
// the run gets a folder of its own rather than move or use what the link
// points to.
TEST_F(ProtectedFolder, ALinkedFolderIsNeverFollowed) {
  const std::wstring outside = outsideFolder();
  plantLink(outside, product());
  const ProductFolder folder = prepareProductFolder(product());
  EXPECT_TRUE(outsideIsUntouched());
  EXPECT_TRUE(directoryExists(outside));
  ASSERT_TRUE(folder.handle);
  if (folder.runOwn) {
    EXPECT_NE(folder.path, product());
    EXPECT_TRUE(grantsOthersNothing(folder.path)) << daclText(folder.path);
  } else {
    expectNewProductFolder(folder);
    EXPECT_EQ(movedAsideCopies(product()).size(), 1u);
  }
}

TEST_F(ProtectedFolder, AWorkFolderIsMadeAnewAndHeldUntilItIsRemoved) {
  const std::wstring work = product() + L"\\Setup.tmp";
  ASSERT_TRUE(createDirectories(work));
  writeFile(work + L"\\App.dll", "stale");
  writeFile(work + L"\\deep\\er\\lib.dll", "stale");
  ASSERT_TRUE(SetFileAttributesW((work + L"\\App.dll").c_str(), FILE_ATTRIBUTE_READONLY));
  writeFile(product() + L"\\other.txt", "kept");

  UniqueFileHandle held = makeFreshHeldFolder(work);
  ASSERT_TRUE(held);
  EXPECT_TRUE(test::listFilesRecursive(work).empty());
  EXPECT_TRUE(grantsOthersNothing(work)) << daclText(work);
  EXPECT_EQ(readFileBytes(product() + L"\\other.txt"), "kept");
  // Work goes on inside while it is held.
  EXPECT_TRUE(writeFile(work + L"\\App.dll", "new"));
  EXPECT_TRUE(isStillAt(held.get(), work));

  EXPECT_TRUE(removeHeldFolder(held, work));
  EXPECT_FALSE(held);
  EXPECT_FALSE(directoryExists(work));
  EXPECT_FALSE(makeFreshHeldFolder(at(L"missing\\Setup.tmp"))) << "no parent";
}

// Wine reports the path a handle was opened by, even after the folder was
// renamed; a changed path shows only on Windows. What shows here is what the
// comparison does with a real answer of the platform.
TEST_F(ProtectedFolder, AHandleIsStillAtItsPathInAnyLetterCaseAndNowhereElse) {
  UniqueFileHandle held = makeFreshHeldFolder(at(L"Work"));
  ASSERT_TRUE(held);
  EXPECT_TRUE(isStillAt(held.get(), at(L"Work")));
  EXPECT_TRUE(isStillAt(held.get(), at(L"WORK")));
  EXPECT_FALSE(isStillAt(held.get(), at(L"Work2")));
  EXPECT_FALSE(isStillAt(held.get(), root_));
  EXPECT_FALSE(isStillAt(held.get(), L"Work"));
  EXPECT_FALSE(isStillAt(INVALID_HANDLE_VALUE, at(L"Work")));
  EXPECT_TRUE(removeHeldFolder(held, at(L"Work")));
}

TEST_F(ProtectedFolder, NoHandleOutlivesTheFolders) {
  // Whatever stands at the product folder's path: nothing, a folder to move
  // aside, a file to move aside.
  const std::vector<std::function<void(const std::wstring&)>> plants = {
      [](const std::wstring&) {},
      [](const std::wstring& path) { createDirectories(path); },
      [](const std::wstring& path) { writeFile(path, "x"); },
  };
  const auto runThrough = [&] {
    for (const auto& plant : plants) {
      plant(product());
      ProductFolder prepared = prepareProductFolder(product());
      ASSERT_TRUE(prepared.handle);
      UniqueFileHandle work = makeFreshHeldFolder(product() + L"\\Setup.tmp");
      ASSERT_TRUE(work);
      EXPECT_TRUE(removeHeldFolder(work, product() + L"\\Setup.tmp"));
      prepared.handle.reset();
      test::deleteTree(product());
      for (const std::wstring& copy : movedAsideCopies(product())) test::deleteTree(copy);
    }
  };
  runThrough();  // loads what stays loaded
  const long before = test::openHandleCount();
  if (before < 0) {
    GTEST_SKIP() << "the platform does not list handles";
  }
  runThrough();
  EXPECT_EQ(test::openHandleCount(), before);
}

}  // namespace
}  // namespace tenvik

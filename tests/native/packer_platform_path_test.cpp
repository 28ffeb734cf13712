#include "platform_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

TEST(LongPathPrefix, OnlyFullPathsGetTheLongForm) {
  const struct {
    const wchar_t* path;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\publish\\App.dll", L"\\\\?\\C:\\publish\\App.dll"},
      {L"z:\\", L"\\\\?\\z:\\"},
      {L"\\\\server\\share\\publish", L"\\\\?\\UNC\\server\\share\\publish"},
      {L"\\\\?\\C:\\already", L"\\\\?\\C:\\already"},
      {L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
      {L"\\\\.\\pipe\\name", L"\\\\.\\pipe\\name"},
      {L"C:relative", L"C:relative"},
      {L"relative\\App.dll", L"relative\\App.dll"},
      {L"\\rooted", L"\\rooted"},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(withLongPathPrefix(c.path), c.expected);
}

TEST(LongPathPrefix, MessagesShowThePathWithoutIt) {
  EXPECT_EQ(displayPath(fs::u8path("\\\\?\\C:\\publish")), "C:\\publish");
  EXPECT_EQ(displayPath(fs::u8path("\\\\?\\UNC\\server\\share")), "\\\\server\\share");
  EXPECT_EQ(displayPath(fs::u8path("publish/App.dll")), "publish/App.dll");
}

// The standard library's remove_all stops at 260 characters on Windows.
void removeTree(const fs::path& root) {
  std::error_code ignored;
  if (!fs::exists(root, ignored)) return;
  std::vector<FolderItem> items = listTree(root);
  std::sort(items.begin(), items.end(), [](const FolderItem& a, const FolderItem& b) {
    return a.path.native().size() > b.path.native().size();
  });
  for (const FolderItem& item : items) fs::remove(item.path, ignored);
  fs::remove(root, ignored);
}

// A walk reaches every file at any depth, with names relative to its root;
// on Windows through folders far deeper than 260 characters.
TEST(FolderWalk, ListsEveryLevelWithRelativeNames) {
  const fs::path root = systemPath(fs::temp_directory_path() / "packer-walk-test");
  removeTree(root);
  fs::path deep = root;
  std::string relative;
  for (int level = 0; level < 30; ++level) {
    deep /= "level-abcdef";
    relative += "level-abcdef/";
  }
  fs::create_directories(deep);
  std::ofstream(deep / "deep.txt") << "d";
  std::ofstream(root / "top.txt") << "t";

  std::set<std::string> files;
  std::size_t directories = 0;
  for (const FolderItem& item : listTree(root)) {
    if (item.kind == FolderItem::directory) ++directories;
    if (item.kind == FolderItem::file) files.insert(item.relative.generic_u8string());
  }
  EXPECT_EQ(directories, 30u);
  EXPECT_EQ(files, (std::set<std::string>{"top.txt", relative + "deep.txt"}));
  removeTree(root);
  EXPECT_FALSE(fs::exists(root));
}

}  // namespace
}  // namespace tenvik::packer

// End-to-end runs of Setup.exe where somebody prepared ProgramData before it:
// a product folder that is not ours is moved aside and never used, nothing
// planted reaches the host, and nothing a link points to is touched. (Wine
// reports the current user as the owner of every folder, so here every
// product folder that was there before counts as somebody else's; which
// ones Windows lets stand is shown by the native tables of folder_trust.)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/launch_fixture.h"
#include "support/setup_image.h"
#include "system/file_system.h"
#include "system/unique_handle.h"

namespace tenvik::test {
namespace {

class SetupWorkDirectory : public LaunchTest {
 protected:
  void TearDown() override {
    removeUnixLink(workDirectory() + L"\\link");
    for (const std::wstring& copy : movedAsideCopies(productDirectory())) removeUnixLink(copy + L"\\Setup.tmp\\link");
    removeUnixLink(productDirectory());
    LaunchTest::TearDown();
  }
};

TEST_F(SetupWorkDirectory, APreparedWorkDirectoryIsReplacedBeforeAnythingIsUnpacked) {
  ASSERT_TRUE(writeFile(workDirectory() + L"\\App.dll", "planted"));
  ASSERT_TRUE(writeFile(workDirectory() + L"\\evil.dll", "planted"));
  ASSERT_TRUE(SetFileAttributesW((workDirectory() + L"\\evil.dll").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(writeFile(productDirectory() + L"\\notes.txt", "kept"));

  const std::string app = "the packaged application";
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", app}});
  const RunResult run = runSetup(exe, L"--silent");
  EXPECT_EQ(run.exitCode, 0u);
  const HostReport report = hostReport();
  ASSERT_TRUE(report.present);
  EXPECT_EQ(report.files.count("evil.dll"), 0u);
  EXPECT_EQ(report.files.at("App.dll"), fileSignature(app));
  EXPECT_FALSE(directoryExists(workDirectory()));
  // A product folder somebody made is moved aside as it stands, what it
  // holds kept with it, and a new one made in its place.
  EXPECT_FALSE(fileExists(productDirectory() + L"\\notes.txt"));
  EXPECT_TRUE(grantsOthersNothing(productDirectory())) << daclText(productDirectory());
  const std::vector<std::wstring> copies = movedAsideCopies(productDirectory());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(readFileBytes(copies[0] + L"\\notes.txt"), "kept");
  EXPECT_EQ(readFileBytes(copies[0] + L"\\Setup.tmp\\evil.dll"), "planted");
}

TEST_F(SetupWorkDirectory, AFileWhereTheProductFolderBelongsIsMovedAside) {
  ASSERT_TRUE(writeFile(productDirectory(), "not a folder"));
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "x"}});
  EXPECT_EQ(runSetup(exe, L"--silent").exitCode, 0u);
  EXPECT_TRUE(hostReport().present);
  EXPECT_FALSE(directoryExists(workDirectory()));
  EXPECT_TRUE(directoryExists(productDirectory()));
  const std::vector<std::wstring> copies = movedAsideCopies(productDirectory());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(readFileBytes(copies[0]), "not a folder");
}

// Held by its owner without sharing deletion, it cannot be moved: the run
// goes on in a folder of its own beside it, which it removes at its end, and
// leaves the held one as it stands. (Wine enforces share modes on files only,
// so a file stands in for such a folder.)
TEST_F(SetupWorkDirectory, AProductFolderThatCannotBeMovedLetsTheRunFinishInAFolderOfItsOwn) {
  ASSERT_TRUE(writeFile(productDirectory(), "held by its owner"));
  UniqueFileHandle owner(CreateFileW(productDirectory().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(owner);
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "app"}});
  const RunResult run = runSetup(exe, L"--silent", 9);
  owner.reset();
  EXPECT_EQ(run.exitCode, 9u) << std::hex << run.exitCode;
  const HostReport report = hostReport();
  ASSERT_TRUE(report.present);
  EXPECT_EQ(report.files.at("App.dll"), fileSignature("app"));
  // The launch target names the folder the run worked in.
  const std::string own = report.directory.substr(0, report.directory.rfind('\\'));
  EXPECT_EQ(report.parameters, report.directory + "\\App.dll --silent");
  EXPECT_EQ(report.directory, own + "\\Setup.tmp");
  EXPECT_EQ(own.rfind(narrow(productDirectory()) + ".", 0), 0u) << own;
  EXPECT_EQ(own.size(), narrow(productDirectory()).size() + 17) << own;
  EXPECT_FALSE(directoryExists(widen(own)));
  EXPECT_EQ(readFileBytes(productDirectory()), "held by its owner");
  EXPECT_TRUE(movedAsideCopies(productDirectory()).empty());
}

// Windows moves a junction at the product folder aside as a link and runs;
// Wine follows a Unix link whatever it is asked, so there the handle stands
// for the target, and the run goes on in a folder of its own, removed at its
// end. Either way nothing is written through the link.
TEST_F(SetupWorkDirectory, ALinkAtTheProductFolderIsNeverUsed) {
  ASSERT_TRUE(writeFile(scratch_ + L"\\outside\\keep.txt", "keep"));
  ASSERT_TRUE(makeUnixLink(scratch_ + L"\\outside", productDirectory()));
  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "x"}});
  const RunResult run = runSetup(exe, L"--silent");
  EXPECT_EQ(listFilesRecursive(scratch_ + L"\\outside"), std::vector<std::wstring>{L"keep.txt"});
  EXPECT_EQ(run.exitCode, 0u) << std::hex << run.exitCode;
  EXPECT_TRUE(hostReport().present);
  // The link moved aside on Windows; nothing left beside it here.
  EXPECT_LE(movedAsideCopies(productDirectory()).size(), 1u);
}

// Windows removes the planted link as a link and runs; Wine cannot remove a
// Unix link to a directory from Windows code, so there the work directory
// cannot be made anew and the run ends before unpacking. The link's target
// is untouched either way.
TEST_F(SetupWorkDirectory, ALinkPlantedInTheWorkDirectoryIsNotFollowed) {
  ASSERT_TRUE(writeFile(scratch_ + L"\\outside\\keep.txt", "keep"));
  ASSERT_TRUE(createDirectories(workDirectory()));
  ASSERT_TRUE(makeUnixLink(scratch_ + L"\\outside", workDirectory() + L"\\link"));

  const std::wstring exe = setupWithPackage(scratch_, {{"App.dll", "x"}});
  const RunResult run = runSetup(exe, L"--silent");
  EXPECT_EQ(readFileBytes(scratch_ + L"\\outside\\keep.txt"), "keep");
  if (run.exitCode == 0) {
    EXPECT_TRUE(hostReport().present);
    EXPECT_FALSE(directoryExists(workDirectory()));
  } else {
    EXPECT_EQ(run.exitCode, 0xFFFFFFFFu) << std::hex << run.exitCode;
    EXPECT_FALSE(hostReport().present);
  }
  EXPECT_FALSE(fileExists(scratch_ + L"\\outside\\App.dll"));
}

}  // namespace
}  // namespace tenvik::test

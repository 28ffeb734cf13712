// End-to-end runs of Setup.exe where somebody prepared ProgramData before it:
// nothing planted in the work directory reaches the host, and nothing a link
// points to is touched.

#include <gtest/gtest.h>

#include <string>

#include "support/launch_fixture.h"
#include "support/setup_image.h"
#include "system/file_system.h"

namespace tenvik::test {
namespace {

class SetupWorkDirectory : public LaunchTest {
 protected:
  void TearDown() override {
    removeUnixLink(workDirectory() + L"\\link");
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
  // The product folder is taken over, its contents kept. (Wine accepts the
  // new owner and DACL of an existing folder without applying them, so what
  // it reports afterwards says nothing.)
  EXPECT_EQ(readFileBytes(productDirectory() + L"\\notes.txt"), "kept");
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

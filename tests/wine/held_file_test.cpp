// holdFile and deleteHeldFile under Wine: what the share mode keeps others
// from doing, and that the held file still starts.

#include "system/held_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "system/process_runner.h"
#include "system/unique_handle.h"
#include "support/wine_support.h"

namespace tenvik::test {
namespace {

class HeldFile : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = makeScratchDirectory(L"held");
    path_ = scratch_ + L"\\DotNET-Setup.exe";
    ASSERT_TRUE(CopyFileW(buildPath(L"standins\\report_args.exe").c_str(), path_.c_str(), FALSE));
  }
  void TearDown() override { deleteTree(scratch_); }

  std::wstring scratch_;
  std::wstring path_;
};

TEST_F(HeldFile, OthersCannotWriteDeleteOrRenameItButItStillStarts) {
  UniqueFileHandle held = holdFile(path_);
  ASSERT_TRUE(held);
  struct Attempt {
    const char* what;
    DWORD access;
  };
  const Attempt attempts[] = {
      {"write", GENERIC_WRITE}, {"append", FILE_APPEND_DATA}, {"delete", DELETE}};
  for (const Attempt& a : attempts) {
    // Sharing everything: only our handle's share mode can refuse.
    UniqueFileHandle other(CreateFileW(path_.c_str(), a.access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    const DWORD error = GetLastError();
    EXPECT_FALSE(other) << a.what;
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << a.what;
  }
  EXPECT_FALSE(DeleteFileW(path_.c_str()));
  EXPECT_FALSE(MoveFileExW(path_.c_str(), (scratch_ + L"\\moved.exe").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(CopyFileW(buildPath(L"standins\\fake_dotnet.exe").c_str(), path_.c_str(), FALSE));

  // Readers are welcome, also those that share neither deletion nor, like
  // the C runtime's fopen, more than reading and writing; so is CreateProcessW.
  for (const DWORD share : {DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
    EXPECT_TRUE(UniqueFileHandle(CreateFileW(path_.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr)))
        << "share mode " << share;
  }
  UniqueKernelHandle process(runProcess(path_, L"", scratch_));
  ASSERT_TRUE(process) << "error " << GetLastError();
  EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
  process.reset();

  EXPECT_TRUE(deleteHeldFile(held, path_));
  EXPECT_FALSE(held);
  EXPECT_FALSE(fileExists(path_));
}

TEST_F(HeldFile, AFileSomeoneHoldsForWritingCannotBeHeld) {
  UniqueFileHandle writer(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);
  EXPECT_FALSE(holdFile(path_));
  writer.reset();
  UniqueFileHandle held = holdFile(path_);
  EXPECT_TRUE(held);
  EXPECT_TRUE(deleteHeldFile(held, path_));
  EXPECT_FALSE(holdFile(path_)) << "a missing file";
}

}  // namespace
}  // namespace tenvik::test

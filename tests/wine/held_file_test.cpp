// writeHeldFile and deleteHeldFile under Wine: one file object from the
// creation to the deletion, what the hold keeps others from doing, and that
// the held file still starts.

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
    program_ = readFileBytes(buildPath(L"standins\\report_args.exe"));
    ASSERT_FALSE(program_.empty());
  }
  void TearDown() override { deleteTree(scratch_); }

  std::wstring scratch_;
  std::wstring path_;
  std::string program_;
};

TEST_F(HeldFile, OthersCannotWriteDeleteOrRenameItButItStillStarts) {
  UniqueFileHandle held = writeHeldFile(path_, program_);
  ASSERT_TRUE(held);
  EXPECT_EQ(readFileBytes(path_), program_);
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

  EXPECT_TRUE(deleteHeldFile(held));
  EXPECT_FALSE(held);
  EXPECT_FALSE(fileExists(path_));
}

TEST_F(HeldFile, AFileThatStandsThereAlreadyIsNeverTakenOver) {
  // Planted, held open for reading by its planter, or left by a run that
  // was killed: the call makes its own file or none, and leaves that one be.
  struct Case {
    const char* what;
    DWORD sharing;  // of the planter's handle; none when -1
  };
  const Case cases[] = {{"planted", static_cast<DWORD>(-1)},
                        {"held for reading", FILE_SHARE_READ},
                        {"held sharing everything", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFileBytes(path_, "planted");
    UniqueFileHandle planter;
    if (c.sharing != static_cast<DWORD>(-1)) {
      planter.reset(CreateFileW(path_.c_str(), GENERIC_READ, c.sharing, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(planter);
    }
    EXPECT_FALSE(writeHeldFile(path_, program_));
    planter.reset();
    EXPECT_EQ(readFileBytes(path_), "planted");
    ASSERT_TRUE(DeleteFileW(path_.c_str()));
  }
  EXPECT_FALSE(writeHeldFile(scratch_ + L"\\missing\\DotNET-Setup.exe", program_)) << "a missing folder";
  EXPECT_FALSE(directoryExists(scratch_ + L"\\missing"));
}

TEST_F(HeldFile, AReaderThatSharesNoDeletionKeepsTheFileAndEmptyFilesAreHeldToo) {
  UniqueFileHandle held = writeHeldFile(path_, program_);
  ASSERT_TRUE(held);
  // Deletion goes through a handle on the file, which such a reader refuses.
  {
    UniqueFileHandle reader(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
    ASSERT_TRUE(reader);
    EXPECT_FALSE(deleteHeldFile(held));
    EXPECT_FALSE(held);
  }
  EXPECT_EQ(readFileBytes(path_), program_);
  ASSERT_TRUE(DeleteFileW(path_.c_str()));

  held = writeHeldFile(path_, "");
  ASSERT_TRUE(held) << "an empty file is a file too";
  EXPECT_TRUE(fileExists(path_));
  EXPECT_TRUE(deleteHeldFile(held));
  EXPECT_FALSE(fileExists(path_));
  EXPECT_FALSE(deleteHeldFile(held)) << "nothing held";
}

}  // namespace
}  // namespace tenvik::test

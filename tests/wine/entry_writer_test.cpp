// The writer thread of extraction: entries land in the order given (a later
// entry of the same name wins), a failure is reported without stopping the
// rest, and an entry too large to hand over is written all the same.

#include "package/entry_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "support/wine_support.h"

namespace tenvik {
namespace {

using test::readFileBytes;

class EntryWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = test::makeScratchDirectory(L"writer"); }
  void TearDown() override { test::deleteTree(root_); }
  std::wstring at(const std::wstring& relative) const { return root_ + L"\\" + relative; }
  std::wstring root_;
};

TEST_F(EntryWriterTest, WritesInOrderAndReportsAFailureWithoutStopping) {
  EntryWriter writer;
  std::string data;
  const std::pair<std::wstring, std::string> entries[] = {
      {L"a\\same.txt", "first, the longer one"},
      {L"lib", "a file where a folder is needed next"},
      {L"lib\\x.dll", "cannot be written"},
      {L"a\\same.txt", "second"},
      {L"b.bin", std::string(3 * 1024 * 1024, 'b')},
  };
  for (const auto& [path, content] : entries) {
    data = content;
    writer.write(at(path), data);
    EXPECT_NE(data, content) << "the writer took the contents";
  }
  EXPECT_FALSE(writer.finish());
  EXPECT_EQ(readFileBytes(at(L"a\\same.txt")), "second");
  EXPECT_EQ(readFileBytes(at(L"lib")), "a file where a folder is needed next");
  EXPECT_EQ(readFileBytes(at(L"b.bin")), entries[4].second);
}

TEST_F(EntryWriterTest, WritesAnEntryTooLargeToHandOverItself) {
  EntryWriter writer;
  std::string small = "small";
  writer.write(at(L"small.txt"), small);
  std::string large(EntryWriter::kLargestHandedOver + 1, '\0');
  for (size_t i = 0; i < large.size(); i += 4096) large[i] = static_cast<char>(i >> 12);
  const size_t size = large.size();
  writer.write(at(L"large.bin"), large);
  EXPECT_EQ(large.size(), size) << "kept by the caller, not swapped";
  EXPECT_TRUE(writer.finish());
  EXPECT_EQ(readFileBytes(at(L"small.txt")), "small");
  EXPECT_EQ(readFileBytes(at(L"large.bin")), large);
}

}  // namespace
}  // namespace tenvik

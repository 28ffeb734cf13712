#include "system/directory_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tenvik {
namespace {

struct Record {
  std::u16string name;
  std::uint32_t attributes = 0x20;
  std::uint32_t next = 0;  // 0: the last; kAligned: the aligned size of this record
  std::int64_t nameLength = -1;  // -1: the name's own
};
constexpr std::uint32_t kAligned = 0xFFFFFFFF;

void putUint32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

// An answer laid out as FILE_ID_BOTH_DIR_INFO records, each starting at an
// 8-byte boundary as the platform places them.
std::string answer(const std::vector<Record>& records) {
  std::string bytes;
  for (const Record& record : records) {
    const std::size_t start = bytes.size();
    const std::size_t size = (kDirectoryRecordNameOffset + 2 * record.name.size() + 7) / 8 * 8;
    bytes.resize(start + size, '\x5a');
    const std::uint32_t next = record.next == kAligned ? static_cast<std::uint32_t>(size) : record.next;
    putUint32(bytes, start, next);
    putUint32(bytes, start + kDirectoryRecordAttributesOffset, record.attributes);
    const std::int64_t nameLength = record.nameLength < 0 ? 2 * record.name.size() : record.nameLength;
    putUint32(bytes, start + kDirectoryRecordNameLengthOffset, static_cast<std::uint32_t>(nameLength));
    for (std::size_t i = 0; i < record.name.size(); ++i) {
      bytes[start + kDirectoryRecordNameOffset + 2 * i] = static_cast<char>(record.name[i] & 0xFF);
      bytes[start + kDirectoryRecordNameOffset + 2 * i + 1] = static_cast<char>(record.name[i] >> 8);
    }
  }
  return bytes;
}

TEST(DirectoryRecords, EntriesComeInOrderWithoutTheDirectoryAndItsParent) {
  const std::string bytes = answer({{u".", 0x10, kAligned},
                                    {u"..", 0x10, kAligned},
                                    {u"App.dll", 0x21, kAligned},
                                    {u"sub", 0x10, kAligned},
                                    {u"link", 0x410, kAligned},
                                    {u"\u00e9t\u00e9 \u4e2d.txt", 0x20, 0}});
  const auto records = readDirectoryRecords(bytes);
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), 4u);
  EXPECT_EQ((*records)[0].name, L"App.dll");
  EXPECT_EQ((*records)[0].attributes, 0x21u);
  EXPECT_EQ((*records)[1].name, L"sub");
  EXPECT_EQ((*records)[2].attributes, 0x410u);
  EXPECT_EQ((*records)[3].name, std::wstring({0xe9, L't', 0xe9, L' ', 0x4e2d, L'.', L't', L'x', L't'}));
}

TEST(DirectoryRecords, AnAnswerOfOnlyTheDotsIsAnEmptyDirectory) {
  const auto records = readDirectoryRecords(answer({{u".", 0x10, kAligned}, {u"..", 0x10, 0}}));
  ASSERT_TRUE(records);
  EXPECT_TRUE(records->empty());
  // Names that only begin with dots are entries like any other.
  const auto dotted = readDirectoryRecords(answer({{u"...", 0x10, kAligned}, {u".git", 0x10, 0}}));
  ASSERT_TRUE(dotted);
  EXPECT_EQ(dotted->size(), 2u);
}

TEST(DirectoryRecords, ThePaddingAfterTheLastRecordIsNotRead) {
  std::string bytes = answer({{u"a", 0x20, 0}});
  bytes.append(4096, '\xff');  // what the rest of the buffer held before
  const auto records = readDirectoryRecords(bytes);
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), 1u);
  EXPECT_EQ((*records)[0].name, L"a");
}

TEST(DirectoryRecords, AMalformedChainIsRefusedWhole) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string truncatedName = answer({{u"abcdef", 0x20, 0}});
  truncatedName.resize(kDirectoryRecordNameOffset + 4);
  std::string truncatedHeader = answer({{u"a", 0x20, kAligned}, {u"b", 0x20, 0}});
  truncatedHeader.resize(truncatedHeader.size() / 2 + 8);
  const Case cases[] = {
      {"empty buffer", ""},
      {"shorter than one record", std::string(kDirectoryRecordNameOffset - 1, '\0')},
      {"name past the buffer", truncatedName},
      {"name length past the buffer", answer({{u"a", 0x20, 0, 0x7FFFFFF0}})},
      {"odd name length", answer({{u"ab", 0x20, 0, 3}})},
      {"next record past the buffer", answer({{u"a", 0x20, 4096}})},
      {"next record inside this one's name", answer({{u"abcdefgh", 0x20, kDirectoryRecordNameOffset + 8}})},
      {"next record header cut off", truncatedHeader},
      {"empty name", answer({{u"", 0x20, 0}})},
      {"backslash", answer({{u"..\\outside", 0x10, 0}})},
      {"slash", answer({{u"a/b", 0x20, 0}})},
      {"stream", answer({{u"file:stream", 0x20, 0}})},
      {"zero unit", answer({{std::u16string(u"a\0b", 3), 0x20, 0}})},
      {"bad record after good ones", answer({{u"good", 0x20, kAligned}, {u"x\\y", 0x20, 0}})},
  };
  for (const Case& c : cases) EXPECT_FALSE(readDirectoryRecords(c.bytes)) << c.what;
}

TEST(DirectoryRecords, ARecordMayEndExactlyAtTheBuffersEnd) {
  // The name ends the buffer, with no padding after it.
  std::string bytes = answer({{u"abc", 0x20, 0}});
  bytes.resize(kDirectoryRecordNameOffset + 6);
  const auto records = readDirectoryRecords(bytes);
  ASSERT_TRUE(records);
  EXPECT_EQ((*records)[0].name, L"abc");
}

}  // namespace
}  // namespace tenvik

// One answer of a directory listing as the file system hands it back. Input:
// 'R' and then the raw answer bytes; or else a script of records that this
// target lays out itself, one per line: the attributes, the padding bytes
// after the name, a flaw (0 none, 1 an odd name length, 2 a name length
// reaching past the answer, 3 a next offset inside the name, 4 the answer
// cut inside the name, 5 or more: none), each in decimal with one blank
// after it, then the name as UTF-8 up to the line's end.
//
// Checked for a script: the answer is accepted exactly when no record has a
// flaw and every name but "." and ".." is one entry's name (not empty, no
// backslash, slash, colon or zero unit); then the records come back in
// order, without "." and "..", each with its name and attributes. For raw
// bytes: whatever comes back has only such names, and no more records than
// the answer has room for.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "system/directory_records.h"

namespace {

using tenvik::DirectoryRecord;
using tenvik::kDirectoryRecordAttributesOffset;
using tenvik::kDirectoryRecordNameLengthOffset;
using tenvik::kDirectoryRecordNameOffset;

struct Planned {
  std::uint32_t attributes;
  std::size_t padding;
  std::uint64_t flaw;
  std::wstring name;
};

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

bool isEntryName(const std::wstring& name) {
  if (name.empty()) return false;
  for (const wchar_t unit : name) {
    if (unit == L'\\' || unit == L'/' || unit == L':' || unit == 0) return false;
  }
  return true;
}

bool isDots(const std::wstring& name) { return name == L"." || name == L".."; }

void checkRaw(std::string_view bytes) {
  const auto records = tenvik::readDirectoryRecords(bytes);
  if (!records) return;
  FUZZ_REQUIRE(records->size() <= bytes.size() / kDirectoryRecordNameOffset);
  for (const DirectoryRecord& record : *records) {
    FUZZ_REQUIRE(isEntryName(record.name));
    FUZZ_REQUIRE(!isDots(record.name));
  }
}

void checkScript(std::string_view script) {
  tenvik::fuzz::InputReader input(script);
  std::vector<Planned> plan;
  while (!input.empty() && plan.size() < 64) {
    Planned record;
    record.attributes = static_cast<std::uint32_t>(input.number());
    record.padding = static_cast<std::size_t>(input.number() % 64);
    record.flaw = input.number();
    record.name = tenvik::fuzz::wideFromBytes(input.piece('\n')).substr(0, 300);
    plan.push_back(record);
  }
  if (plan.empty()) return;

  std::string bytes;
  bool flawed = false;
  std::vector<DirectoryRecord> expected;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    const Planned& record = plan[i];
    const bool last = i + 1 == plan.size();
    const std::size_t start = bytes.size();
    const std::size_t nameBytes = 2 * record.name.size();
    const std::size_t size = kDirectoryRecordNameOffset + nameBytes + record.padding;
    bytes.resize(start + size, '\x7e');
    put32(bytes, start, last ? 0 : static_cast<std::uint32_t>(size));
    put32(bytes, start + kDirectoryRecordAttributesOffset, record.attributes);
    put32(bytes, start + kDirectoryRecordNameLengthOffset, static_cast<std::uint32_t>(nameBytes));
    for (std::size_t u = 0; u < record.name.size(); ++u) {
      bytes[start + kDirectoryRecordNameOffset + 2 * u] = static_cast<char>(record.name[u] & 0xFF);
      bytes[start + kDirectoryRecordNameOffset + 2 * u + 1] = static_cast<char>((record.name[u] >> 8) & 0xFF);
    }
    bool cut = false;
    switch (record.flaw) {
      case 1:
        put32(bytes, start + kDirectoryRecordNameLengthOffset, static_cast<std::uint32_t>(nameBytes + 1));
        flawed = true;
        break;
      case 2:
        // Even, and more than the whole answer can be: 64 records of at most
        // 104 + 600 + 63 bytes.
        put32(bytes, start + kDirectoryRecordNameLengthOffset, static_cast<std::uint32_t>(1u << 20));
        flawed = true;
        break;
      case 3:
        if (!last) {
          put32(bytes, start, static_cast<std::uint32_t>(kDirectoryRecordNameOffset + nameBytes - 2));
          flawed = true;
        }
        break;
      case 4:
        bytes.resize(start + kDirectoryRecordNameOffset + nameBytes - 1);
        flawed = true;
        cut = true;
        break;
      default:
        break;
    }
    if (!isDots(record.name)) {
      if (!isEntryName(record.name)) flawed = true;
      expected.push_back(DirectoryRecord{record.name, record.attributes});
    }
    if (cut) break;
  }

  const auto records = tenvik::readDirectoryRecords(bytes);
  FUZZ_REQUIRE(records.has_value() == !flawed);
  if (!records) return;
  FUZZ_REQUIRE(records->size() == expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    FUZZ_REQUIRE((*records)[i].name == expected[i].name);
    FUZZ_REQUIRE((*records)[i].attributes == expected[i].attributes);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = tenvik::fuzz::bytesOf(data, size);
  if (!bytes.empty() && bytes[0] == 'R') {
    checkRaw(bytes.substr(1));
  } else {
    checkScript(bytes);
  }
  return 0;
}

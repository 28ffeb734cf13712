#include "system/directory_records.h"

namespace tenvik {
namespace {

std::uint32_t readUint32(std::string_view bytes, std::size_t offset) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::wstring readUtf16(std::string_view bytes, std::size_t offset, std::size_t units) {
  std::wstring text;
  text.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset + 2 * i);
    text.push_back(static_cast<wchar_t>(p[0] | p[1] << 8));
  }
  return text;
}

bool isSingleEntryName(const std::wstring& name) {
  return !name.empty() && name.find_first_of(std::wstring(L"\\/:\0", 4)) == std::wstring::npos;
}

}  // namespace

std::optional<std::vector<DirectoryRecord>> readDirectoryRecords(std::string_view bytes) {
  std::vector<DirectoryRecord> records;
  std::size_t start = 0;
  for (;;) {
    if (bytes.size() - start < kDirectoryRecordNameOffset) return std::nullopt;
    const std::uint32_t next = readUint32(bytes, start);
    const std::uint32_t nameBytes = readUint32(bytes, start + kDirectoryRecordNameLengthOffset);
    const std::size_t nameEnd = kDirectoryRecordNameOffset + nameBytes;
    if (nameBytes % 2 != 0 || nameBytes > bytes.size() - start - kDirectoryRecordNameOffset) return std::nullopt;
    if (next != 0 && next < nameEnd) return std::nullopt;

    DirectoryRecord record;
    record.name = readUtf16(bytes, start + kDirectoryRecordNameOffset, nameBytes / 2);
    record.attributes = readUint32(bytes, start + kDirectoryRecordAttributesOffset);
    if (record.name != L"." && record.name != L"..") {
      if (!isSingleEntryName(record.name)) return std::nullopt;
      records.push_back(std::move(record));
    }
    if (next == 0) return records;
    if (next > bytes.size() - start) return std::nullopt;
    start += next;
  }
}

}  // namespace tenvik

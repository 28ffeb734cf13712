#pragma once
// The entries of one answer to a directory listing through the directory's
// own handle (GetFileInformationByHandleEx with FileIdBothDirectoryInfo): a
// chain of variable-length records in a buffer, each giving the offset of
// the next. Pure, so that the reading of what the file system hands back is
// checked on its own.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tenvik {

// Where FILE_ID_BOTH_DIR_INFO keeps what is read, in bytes from the start of
// a record; the Windows side checks these against the platform's structure.
inline constexpr std::size_t kDirectoryRecordAttributesOffset = 56;
inline constexpr std::size_t kDirectoryRecordNameLengthOffset = 60;
inline constexpr std::size_t kDirectoryRecordNameOffset = 104;

struct DirectoryRecord {
  std::wstring name;  // one UTF-16 unit per character of the string, as listed
  std::uint32_t attributes = 0;
};

// The records from the start of bytes (one answer), in order, without the
// directory itself (".") and its parent (".."). Empty when the chain is
// malformed: a record or its name reaching past the buffer, a next offset
// that does not move past the record's name, an odd name length, or a name that is not a single entry of this
// directory (empty, with a separator, a colon or a zero unit), since opening
// that name relative to the directory would reach something else.
std::optional<std::vector<DirectoryRecord>> readDirectoryRecords(std::string_view bytes);

}  // namespace tenvik

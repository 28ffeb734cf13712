#include "system/directory_handle.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "system/system_library.h"

namespace tenvik {
namespace {

static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileAttributes) == kDirectoryRecordAttributesOffset);
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileNameLength) == kDirectoryRecordNameLengthOffset);
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileName) == kDirectoryRecordNameOffset);

// Known to the platform from Windows 10 on; the headers declare it only for
// builds that require Windows 10.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionPosixSemantics = 0x2;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;

constexpr ULONG kShareEverything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The link itself, not its target; the backup intent that
// FILE_FLAG_BACKUP_SEMANTICS gives the path's own open; and synchronous,
// which the directory listing requires.
constexpr ULONG kOpenOptions = FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;

// What a counted string of the native API can hold.
constexpr std::size_t kLongestName = 0xFFFE / sizeof(wchar_t);

// One answer holds some hundreds of entries; a name is at most 255 units.
constexpr std::size_t kListingBufferBytes = 64 * 1024;

}  // namespace

std::optional<RelativeOpener> loadRelativeOpener() {
  RelativeOpener opener;
  opener.ntdll.reset(loadSystemLibrary(L"ntdll.dll"));
  if (!opener.ntdll || !resolveFunction(opener.ntdll.get(), "NtOpenFile", opener.openFile) ||
      !resolveFunction(opener.ntdll.get(), "RtlNtStatusToDosError", opener.toWindowsError)) {
    return std::nullopt;
  }
  return opener;
}

UniqueFileHandle openEntry(const RelativeOpener& opener, HANDLE directory, const std::wstring& name, DWORD access) {
  if (name.size() > kLongestName) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return UniqueFileHandle();
  }
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name.c_str());
  text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  // The name as listed, matched exactly: no case folding that could find a
  // sibling spelled differently.
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, 0, directory, nullptr);
  IO_STATUS_BLOCK status = {};
  HANDLE entry = nullptr;
  const NTSTATUS result = opener.openFile(&entry, access, &attributes, &status, kShareEverything, kOpenOptions);
  if (!NT_SUCCESS(result)) {
    SetLastError(opener.toWindowsError(result));
    return UniqueFileHandle();
  }
  return UniqueFileHandle(entry);
}

std::optional<std::vector<DirectoryRecord>> listEntries(HANDLE directory) {
  // 8-byte units: the records hold 64-bit fields.
  std::vector<std::uint64_t> buffer(kListingBufferBytes / sizeof(std::uint64_t));
  std::vector<DirectoryRecord> entries;
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;; kind = FileIdBothDirectoryInfo) {
    if (!GetFileInformationByHandleEx(directory, kind, buffer.data(), static_cast<DWORD>(kListingBufferBytes))) {
      if (GetLastError() == ERROR_NO_MORE_FILES) return entries;
      return std::nullopt;
    }
    const auto records =
        readDirectoryRecords(std::string_view(reinterpret_cast<const char*>(buffer.data()), kListingBufferBytes));
    if (!records) {
      SetLastError(ERROR_INVALID_DATA);
      return std::nullopt;
    }
    entries.insert(entries.end(), records->begin(), records->end());
  }
}

std::optional<DWORD> attributesOf(HANDLE entry) {
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (!GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof(tag))) return std::nullopt;
  return tag.FileAttributes;
}

bool clearReadOnly(HANDLE entry, DWORD attributes) {
  FILE_BASIC_INFO basic = {};  // zero times: left as they are
  const DWORD rest = attributes & ~FILE_ATTRIBUTE_READONLY;
  // Zero would mean "leave the attributes as they are".
  basic.FileAttributes = rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof(basic)) != FALSE;
}

bool markForDeletion(HANDLE entry, DeletionForm& form) {
  for (;;) {
    BOOL marked = FALSE;
    if (form == DeletionForm::classic) {
      FILE_DISPOSITION_INFO disposition = {TRUE};
      marked = SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof(disposition));
    } else {
      DWORD flags = kDispositionDelete | kDispositionPosixSemantics;
      if (form == DeletionForm::posixIgnoringReadOnly) flags |= kDispositionIgnoreReadOnly;
      marked = SetFileInformationByHandle(entry, kFileDispositionInfoEx, &flags, sizeof(flags));
    }
    if (marked) return true;
    const DWORD error = GetLastError();
    const std::optional<DeletionForm> weaker = weakerDeletionForm(form, error);
    if (!weaker) {
      SetLastError(error);
      return false;
    }
    form = *weaker;
  }
}

}  // namespace tenvik

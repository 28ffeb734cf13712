#pragma once
// Entries of a directory reached through handles alone: the directory is
// listed through its own handle, each entry is opened by its name relative to
// that handle without following a link, and an entry is cleared of its
// read-only flag and deleted through the handle opened on it. Nothing here
// resolves a path again, so what was looked at is what is acted on, even if
// names are swapped meanwhile. Each function reports failure with the
// Windows error code in GetLastError.

#include <windows.h>
#include <winternl.h>

#include <optional>
#include <string>
#include <vector>

#include "system/directory_records.h"
#include "system/tree_removal.h"
#include "system/unique_handle.h"

namespace tenvik {

// What an entry is opened with: enough to judge it, clear its read-only flag
// and delete it, without reading its data, so that a holder that shares
// deletion but not reading does not keep it.
inline constexpr DWORD kEntryAccess = DELETE | SYNCHRONIZE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
// A directory that is to be listed as well.
inline constexpr DWORD kListableEntryAccess = kEntryAccess | FILE_LIST_DIRECTORY;

// ntdll's relative open, which the Windows API does not offer. ntdll is in
// every process; it is taken from the system directory all the same, the
// way every other library is.
struct RelativeOpener {
  UniqueModule ntdll;
  NTSTATUS(NTAPI* openFile)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, ULONG, ULONG) = nullptr;
  ULONG(NTAPI* toWindowsError)(NTSTATUS) = nullptr;
};

// Loads the opener; empty when ntdll lacks either function.
std::optional<RelativeOpener> loadRelativeOpener();

// Opens the entry name of directory with access, never following a link:
// a link is opened as the link. Every kind of sharing is granted, so that
// others are not shut out for the moment it is open. An empty name opens
// directory itself again, with the access asked for.
UniqueFileHandle openEntry(const RelativeOpener& opener, HANDLE directory, const std::wstring& name, DWORD access);

// Every entry of the directory open as directory (with FILE_LIST_DIRECTORY
// and SYNCHRONIZE, not overlapped), read from the start however often it was
// listed before. Empty on failure (ERROR_INVALID_DATA for an answer that
// cannot be read).
std::optional<std::vector<DirectoryRecord>> listEntries(HANDLE directory);

// The attributes the open handle reports of itself.
std::optional<DWORD> attributesOf(HANDLE entry);

// Takes the read-only flag off the entry, the other attributes as they are.
bool clearReadOnly(HANDLE entry, DWORD attributes);

// Marks the entry for deletion in form, or in the first weaker form the
// platform understands, which form then holds for the caller's next call.
bool markForDeletion(HANDLE entry, DeletionForm& form);

}  // namespace tenvik

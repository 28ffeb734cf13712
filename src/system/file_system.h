#pragma once
// Files and directories on the Windows API. Paths go to the platform as they
// are: no long-path prefix, no normalisation. None of these functions throws
// or shows anything; each reports by its result alone.

#include <windows.h>

#include <string>
#include <string_view>

namespace tenvik {

// Creates path, or truncates an existing file, and writes content (bytes,
// zeros allowed) to it. Missing parent directories are created once on demand.
// The file is opened with share mode 0, so it fails while another process has
// it open. True only when every byte was written; a failed write leaves the
// file as far as it got.
bool writeFile(const std::wstring& path, std::string_view content);

// Writes content at the current position of file, an open handle with write
// access, in pieces of at most 8 MiB. True only when every byte was written.
bool writeThrough(HANDLE file, std::string_view content);

// Creates path together with its missing ancestors. True only when this call
// created path itself: false for the empty path, for a directory that already
// exists, and for a failure at any level (levels made above it stay).
bool createDirectories(const std::wstring& path);

// Deletes path and everything below it, permanently and without any window
// or question. The tree is walked through handles, never by path again: path
// itself is opened without following a link, each directory is listed
// through its own handle, each entry is opened by name relative to its
// directory's handle without following a link, judged by what that handle
// reports of itself, and deleted through it (with POSIX semantics where the
// platform has them: Windows 10 on NTFS). So a directory swapped for a link
// or moved elsewhere during the walk never sends it outside the tree it
// opened. A junction or symbolic link, at path or anywhere below it, is
// removed as a link: what it points to is never touched. Read-only entries
// are removed too. While another process still holds an entry, retries start
// after a few milliseconds and give up after about five seconds in all; a
// failure that cannot pass by itself (nothing at path, a link Windows cannot
// remove) gives up at once. True only when path is gone.
bool removeDirectory(const std::wstring& path);

// True when nothing is at path any more. A directory whose delete waits for
// another holder's handle to close still answers, and so does anything made
// there since.
bool pathIsGone(const std::wstring& path);

// Removes what directory is open on, as removeDirectory does, with no path
// at all: for a directory the caller holds open, so that nothing can take
// its place between a check and the removal. The handle must have been
// opened synchronously (CreateFileW without FILE_FLAG_OVERLAPPED, or the
// native API with FILE_SYNCHRONOUS_IO_NONALERT), with
// FILE_FLAG_BACKUP_SEMANTICS and FILE_FLAG_OPEN_REPARSE_POINT, for DELETE,
// FILE_LIST_DIRECTORY, FILE_READ_ATTRIBUTES, FILE_WRITE_ATTRIBUTES and
// SYNCHRONIZE; it may be held without FILE_SHARE_DELETE, since the delete
// goes through it. What the handle reports of itself decides: a link is
// removed as a link, a directory is emptied and then deleted. The handle
// stays the caller's to close. True when everything below it is gone and it
// is marked for deletion; it disappears at once where POSIX semantics are
// had, otherwise when its last handle closes. The same retries as
// removeDirectory.
bool removeDirectoryByHandle(HANDLE directory);

}  // namespace tenvik

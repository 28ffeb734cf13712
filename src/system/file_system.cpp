#include "system/file_system.h"

#include <windows.h>

#include <algorithm>

#include "system/path.h"
#include "system/tree_removal.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

UniqueFileHandle openForWriting(const std::wstring& path) {
  return UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Single huge WriteFile calls are known to fail on 32-bit Windows when the
// address space is fragmented, so large contents go out in pieces.
constexpr DWORD kWriteChunk = 8 * 1024 * 1024;

bool writeAll(HANDLE file, std::string_view content) {
  size_t offset = 0;
  while (offset < content.size()) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(content.size() - offset, kWriteChunk));
    DWORD written = 0;
    if (!WriteFile(file, content.data() + offset, piece, &written, nullptr) || written != piece) {
      return false;
    }
    offset += piece;
  }
  return true;
}

// The outcome of one pass over a tree: gone, or why not.
struct TreeRemoval {
  bool done = true;
  bool mayClearUp = true;  // every failure so far was of a kind that passes by itself
};

void noteFailure(TreeRemoval& removal, bool mayClearUp = true) {
  const DWORD error = GetLastError();
  removal.done = false;
  removal.mayClearUp = removal.mayClearUp && mayClearUp && removalMayClearUp(error);
}

// The entry itself, a link not followed.
UniqueFileHandle openWithoutFollowing(const std::wstring& path, DWORD access) {
  return UniqueFileHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Deletes the entry itself through a handle opened on the link, never on
// what it points to; a read-only flag is cleared on the link the same way.
// Wine follows links on every delete and refuses this one, so there a link
// stays rather than its target going; no retry changes that.
bool removeLinkItself(const std::wstring& path, DWORD attributes) {
  const UniqueFileHandle link = openWithoutFollowing(path, DELETE | FILE_WRITE_ATTRIBUTES);
  if (!link) return false;
  if (isReadOnly(attributes)) {
    FILE_BASIC_INFO basic = {};  // zero times: left as they are
    basic.FileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY) ? (attributes & ~FILE_ATTRIBUTE_READONLY)
                                                                   : FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(link.get(), FileBasicInfo, &basic, sizeof(basic));
  }
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(link.get(), FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

// The delete of a read-only file or directory fails until the flag is gone.
void clearReadOnly(const std::wstring& path, DWORD attributes) {
  if (isReadOnly(attributes)) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

void removeEntry(const std::wstring& path, DWORD attributes, TreeRemoval& removal);

void removeChildren(const std::wstring& directory, TreeRemoval& removal) {
  WIN32_FIND_DATAW found;
  UniqueFindHandle listing(FindFirstFileExW(joinPath(directory, L"*").c_str(), FindExInfoBasic, &found,
                                            FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!listing) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) noteFailure(removal);
    return;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    removeEntry(joinPath(directory, name), found.dwFileAttributes, removal);
  } while (FindNextFileW(listing.get(), &found));
}

// What the handle itself is, asked without following a link: the listing's
// word alone would leave a moment in which a directory could be swapped for
// a junction before the walk goes into it.
bool isPlainDirectory(const std::wstring& path) {
  const UniqueFileHandle directory = openWithoutFollowing(path, FILE_READ_ATTRIBUTES);
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (!directory || !GetFileInformationByHandleEx(directory.get(), FileAttributeTagInfo, &tag, sizeof(tag))) {
    return false;
  }
  return removalStepFor(tag.FileAttributes) == RemovalStep::descend;
}

void removeEntry(const std::wstring& path, DWORD attributes, TreeRemoval& removal) {
  switch (removalStepFor(attributes)) {
    case RemovalStep::descend:
      clearReadOnly(path, attributes);
      if (isPlainDirectory(path)) removeChildren(path, removal);
      if (!RemoveDirectoryW(path.c_str())) noteFailure(removal);
      return;
    case RemovalStep::removeLink:
      if (!removeLinkItself(path, attributes)) noteFailure(removal, false);
      return;
    case RemovalStep::deleteFile:
      clearReadOnly(path, attributes);
      if (!DeleteFileW(path.c_str())) noteFailure(removal);
      return;
  }
}

TreeRemoval removeTree(const std::wstring& path) {
  TreeRemoval removal;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // Nothing there, or nothing we may look at: no retry helps.
    removal.done = false;
    removal.mayClearUp = false;
    return removal;
  }
  removeEntry(path, attributes, removal);
  return removal;
}

}  // namespace

bool writeFile(const std::wstring& path, std::string_view content) {
  UniqueFileHandle file = openForWriting(path);
  if (!file && GetLastError() == ERROR_PATH_NOT_FOUND) {
    createDirectories(parentPath(path));
    file = openForWriting(path);
  }
  if (!file) return false;
  return writeAll(file.get(), content);
}

bool createDirectories(const std::wstring& path) {
  if (path.empty()) return false;
  if (CreateDirectoryW(path.c_str(), nullptr)) return true;
  if (GetLastError() != ERROR_PATH_NOT_FOUND) return false;
  if (!createDirectories(parentPath(path))) return false;
  return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool removeDirectory(const std::wstring& path) {
  for (int attempt = 1;; ++attempt) {
    const TreeRemoval removal = removeTree(path);
    if (removal.done) return true;
    const DWORD pause = removalPauseMs(attempt);
    if (!removal.mayClearUp || pause == 0) return false;
    Sleep(pause);
  }
}

}  // namespace tenvik

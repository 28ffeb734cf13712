#include "system/file_system.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "system/directory_handle.h"
#include "system/path.h"
#include "system/tree_removal.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

UniqueFileHandle openForWriting(const std::wstring& path) {
  return UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}


// The outcome of one pass over a tree: gone, or why not; and the form of
// delete the platform turned out to understand, kept for the next entry.
struct TreeRemoval {
  const RelativeOpener& opener;
  bool done = true;
  bool mayClearUp = true;  // every failure so far was of a kind that passes by itself
  DeletionForm form = DeletionForm::posixIgnoringReadOnly;
};

void noteFailure(TreeRemoval& removal, bool mayClearUp = true) {
  const DWORD error = GetLastError();
  removal.done = false;
  removal.mayClearUp = removal.mayClearUp && mayClearUp && removalMayClearUp(error);
}

void noteLastingFailure(TreeRemoval& removal) {
  removal.done = false;
  removal.mayClearUp = false;
}

// A read-only file or directory refuses the classic delete until the flag
// is gone.
void deleteThrough(HANDLE entry, DWORD attributes, TreeRemoval& removal, bool mayClearUp = true) {
  if (isReadOnly(attributes)) clearReadOnly(entry, attributes);
  if (!markForDeletion(entry, removal.form)) noteFailure(removal, mayClearUp);
}

void removeOpened(UniqueFileHandle entry, DWORD listedAttributes, TreeRemoval& removal);

// Every entry is opened relative to the directory's handle, so a directory
// renamed or replaced by a link after it was opened is never left for
// another one: the walk stays inside the tree it opened.
void emptyDirectory(HANDLE directory, TreeRemoval& removal) {
  const std::optional<std::vector<DirectoryRecord>> entries = listEntries(directory);
  if (!entries) {
    noteFailure(removal, GetLastError() != ERROR_INVALID_DATA);
    return;
  }
  for (const DirectoryRecord& listed : *entries) {
    UniqueFileHandle entry = openEntry(removal.opener, directory, listed.name, kEntryAccess);
    if (!entry) {
      if (!removalFoundNothing(GetLastError())) noteFailure(removal);
      continue;
    }
    removeOpened(std::move(entry), listed.attributes, removal);
  }
}

// A plain directory open for listing: its entries first, then itself.
void removeListableDirectory(HANDLE directory, DWORD attributes, TreeRemoval& removal) {
  emptyDirectory(directory, removal);
  deleteThrough(directory, attributes, removal);
}

// Judged by what the handle reports of itself; every step then goes through
// that handle or one opened relative to it. The entry's handle is closed
// before its parent is deleted, which the classic delete waits for.
void removeOpened(UniqueFileHandle entry, DWORD listedAttributes, TreeRemoval& removal) {
  const std::optional<DWORD> attributes = attributesOf(entry.get());
  if (!attributes) {
    noteFailure(removal);
    return;
  }
  switch (removalStepFor(listedAttributes, *attributes)) {
    case RemovalStep::descend: {
      // The same directory again, now allowed to list it: opened through
      // its own handle, never by name.
      UniqueFileHandle listable = openEntry(removal.opener, entry.get(), L"", kListableEntryAccess);
      entry.reset();
      if (!listable) {
        noteFailure(removal);
        return;
      }
      removeListableDirectory(listable.get(), *attributes, removal);
      return;
    }
    case RemovalStep::removeLink:
      // Windows removes links of every kind this way, and the handle is the
      // link's own. Nothing that a retry could change stops it otherwise.
      deleteThrough(entry.get(), *attributes, removal, false);
      return;
    case RemovalStep::deleteFile:
      deleteThrough(entry.get(), *attributes, removal);
      return;
    case RemovalStep::leave:
      // Wine opens the target of a link to a directory however it is asked,
      // and cannot delete the link from Windows code: there the link stays.
      noteLastingFailure(removal);
      return;
  }
}

bool isNothingThere(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The entry at path itself, a link not followed, with what its parent's
// listing says of it beside what its handle says. Nothing at path is a
// failure on the first pass and the goal on a later one.
TreeRemoval removeTreeAt(const std::wstring& path, const RelativeOpener& opener, bool firstPass) {
  TreeRemoval removal{opener};
  const DWORD listed = GetFileAttributesW(path.c_str());
  if (listed == INVALID_FILE_ATTRIBUTES) {
    if (isNothingThere(GetLastError())) {
      if (firstPass) noteLastingFailure(removal);
    } else {
      noteFailure(removal);  // a delete still pending answers as access denied
    }
    return removal;
  }
  UniqueFileHandle root(CreateFileW(path.c_str(), kEntryAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
  if (!root) {
    noteFailure(removal);
    return removal;
  }
  removeOpened(std::move(root), listed, removal);
  if (removal.done && !pathIsGone(path)) {
    SetLastError(ERROR_ACCESS_DENIED);  // the delete is still pending
    noteFailure(removal);
  }
  return removal;
}

TreeRemoval removeTreeByHandle(HANDLE directory, const RelativeOpener& opener) {
  TreeRemoval removal{opener};
  const std::optional<DWORD> attributes = attributesOf(directory);
  if (!attributes) {
    noteLastingFailure(removal);
    return removal;
  }
  switch (removalStepFor(*attributes)) {
    case RemovalStep::descend:
      removeListableDirectory(directory, *attributes, removal);
      break;
    case RemovalStep::removeLink:
      deleteThrough(directory, *attributes, removal, false);
      break;
    case RemovalStep::deleteFile:
      deleteThrough(directory, *attributes, removal);
      break;
    case RemovalStep::leave:  // not a verdict on a handle alone
      noteLastingFailure(removal);
      break;
  }
  return removal;
}

// Passes over the tree until one removes it all, while every failure is of a
// kind that passes by itself and the pause budget lasts.
template <typename Pass>
bool removeWithRetries(Pass pass) {
  const std::optional<RelativeOpener> opener = loadRelativeOpener();
  if (!opener) return false;
  for (int attempt = 1;; ++attempt) {
    const TreeRemoval removal = pass(*opener);
    if (removal.done) return true;
    const DWORD pause = removalPauseMs(attempt);
    if (!removal.mayClearUp || pause == 0) return false;
    Sleep(pause);
  }
}

// Single huge WriteFile calls are known to fail on 32-bit Windows when the
// address space is fragmented, so large contents go out in pieces.
constexpr DWORD kWriteChunk = 8 * 1024 * 1024;

}  // namespace

bool pathIsGone(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && isNothingThere(GetLastError());
}

bool writeThrough(HANDLE file, std::string_view content) {
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

bool writeFile(const std::wstring& path, std::string_view content) {
  UniqueFileHandle file = openForWriting(path);
  if (!file && GetLastError() == ERROR_PATH_NOT_FOUND) {
    createDirectories(parentPath(path));
    file = openForWriting(path);
  }
  if (!file) return false;
  return writeThrough(file.get(), content);
}

bool createDirectories(const std::wstring& path) {
  if (path.empty()) return false;
  if (CreateDirectoryW(path.c_str(), nullptr)) return true;
  if (GetLastError() != ERROR_PATH_NOT_FOUND) return false;
  if (!createDirectories(parentPath(path))) return false;
  return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool removeDirectory(const std::wstring& path) {
  bool firstPass = true;
  return removeWithRetries([&](const RelativeOpener& opener) {
    const TreeRemoval removal = removeTreeAt(path, opener, firstPass);
    firstPass = false;
    return removal;
  });
}

bool removeDirectoryByHandle(HANDLE directory) {
  return removeWithRetries([directory](const RelativeOpener& opener) { return removeTreeByHandle(directory, opener); });
}

}  // namespace tenvik

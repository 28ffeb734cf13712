#include "system/file_system.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "system/path.h"
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

bool writeAll(HANDLE file, const std::string& content) {
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

bool pathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool writeFile(const std::wstring& path, const std::string& content) {
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
  // A shell path list: the entry, then two terminating zeros.
  std::wstring list = path;
  list.append(2, L'\0');

  // A process that just exited can leave a console host or a virus scanner
  // holding a file in the tree for a moment; retry a few seconds before
  // giving up, but never for a path that is simply not there.
  constexpr int kAttempts = 25;
  constexpr DWORD kPauseMs = 200;
  for (int attempt = 1;; ++attempt) {
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list.c_str();
    // FOF_NOERRORUI: nobody may be there to answer an error box, and the
    // run would hang on it.
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    if (SHFileOperationW(&operation) == 0) return true;
    if (attempt == kAttempts || !pathExists(path)) return false;
    Sleep(kPauseMs);
  }
}

}  // namespace tenvik

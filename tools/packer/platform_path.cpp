#include "platform_path.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

bool startsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

bool isDriveAbsolute(const std::wstring& path) {
  return path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
         path[1] == L':' && path[2] == L'\\';
}

}  // namespace

std::wstring withLongPathPrefix(const std::wstring& absolute) {
  if (startsWith(absolute, L"\\\\?\\") || startsWith(absolute, L"\\\\.\\")) return absolute;
  if (isDriveAbsolute(absolute)) return L"\\\\?\\" + absolute;
  if (absolute.size() > 2 && startsWith(absolute, L"\\\\")) return L"\\\\?\\UNC\\" + absolute.substr(2);
  return absolute;
}

fs::path systemPath(const fs::path& path) {
#ifdef _WIN32
  // The standard library takes a path in the \\?\ form for a relative one.
  const std::wstring text = path.wstring();
  if (text.empty() || startsWith(text, L"\\\\?\\") || startsWith(text, L"\\\\.\\")) return path;
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) return path;
  absolute.make_preferred();
  std::wstring full = absolute.lexically_normal().wstring();
  // "C:\publish\" as typed: the \\?\ form takes no doubled separators
  // when a name is joined on.
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return fs::path(withLongPathPrefix(full));
#else
  return path;
#endif
}

bool isLink(const fs::path& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
  std::error_code ignored;
  return fs::is_symlink(fs::symlink_status(path, ignored));
#endif
}

fs::path walkRoot(const fs::path& folder) {
#ifdef _WIN32
  return systemPath(folder);
#else
  return fs::canonical(folder);
#endif
}

#ifdef _WIN32
namespace {

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

[[noreturn]] void throwWalkError(const fs::path& directory, DWORD error) {
  throw fs::filesystem_error("cannot read the directory", directory,
                             std::error_code(static_cast<int>(error), std::system_category()));
}

void listDirectory(const fs::path& directory, const fs::path& relative, std::vector<FolderItem>& items) {
  WIN32_FIND_DATAW found;
  std::wstring pattern = directory.wstring();
  if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH));
  if (find.get() == INVALID_HANDLE_VALUE) throwWalkError(directory, GetLastError());
  const std::size_t first = items.size();
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderItem item;
    item.path = directory / name;
    item.relative = relative / name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      item.kind = FolderItem::link;
    } else if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      item.kind = FolderItem::directory;
    } else if ((found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
      item.kind = FolderItem::other;
    } else {
      item.kind = FolderItem::file;
    }
    items.push_back(std::move(item));
  } while (FindNextFileW(find.get(), &found));
  const DWORD error = GetLastError();
  if (error != ERROR_NO_MORE_FILES) throwWalkError(directory, error);
  const std::size_t last = items.size();
  for (std::size_t i = first; i < last; ++i) {
    if (items[i].kind != FolderItem::directory) continue;
    const FolderItem subdirectory = items[i];  // items grows below
    listDirectory(subdirectory.path, subdirectory.relative, items);
  }
}

}  // namespace

std::vector<FolderItem> listTree(const fs::path& root) {
  std::vector<FolderItem> items;
  listDirectory(root, fs::path(), items);
  return items;
}
#else
std::vector<FolderItem> listTree(const fs::path& root) {
  std::vector<FolderItem> items;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const fs::file_status status = entry.symlink_status();
    FolderItem item;
    item.path = entry.path();
    item.relative = item.path.lexically_relative(root);
    item.kind = fs::is_symlink(status)        ? FolderItem::link
                : fs::is_directory(status)    ? FolderItem::directory
                : fs::is_regular_file(status) ? FolderItem::file
                                              : FolderItem::other;
    items.push_back(std::move(item));
  }
  return items;
}
#endif

std::string displayPath(const fs::path& path) {
  const std::string text = path.u8string();
  if (text.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + text.substr(8);
  if (text.rfind("\\\\?\\", 0) == 0) return text.substr(4);
  return text;
}

}  // namespace tenvik::packer

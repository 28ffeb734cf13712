#pragma once
// The form of a path to hand to the file API. Windows refuses paths past 260
// characters unless they are absolute, use backslashes and carry the prefix
// "\\?\" (the manifest's longPathAware alone is not enough: it takes a
// system setting as well). Elsewhere paths are used as they are.

#include <filesystem>
#include <string>
#include <vector>

namespace tenvik::packer {

// absolute: a full Windows path as GetFullPathNameW gives it ("C:\a\b",
// "\\server\share\a"). Returns its \\?\ form ("\\?\C:\a\b",
// "\\?\UNC\server\share\a"); a path already in that form, one of the device
// namespace ("\\.\") and anything not absolute come back unchanged.
std::wstring withLongPathPrefix(const std::wstring& absolute);

// On Windows the \\?\ form of path made absolute against the current
// directory ("." and ".." resolved, "/" turned into "\"); elsewhere, and for
// an empty path, path itself. Never throws: a path that cannot be made
// absolute comes back unchanged.
std::filesystem::path systemPath(const std::filesystem::path& path);

// True when path itself (not what it leads to) is a symbolic link, or on
// Windows any reparse point: a junction or a link to a file or directory.
bool isLink(const std::filesystem::path& path);

// The folder a walk starts from: on Windows systemPath's form (the walk
// refuses every link, so there is none to resolve); elsewhere the canonical
// path, links resolved. Throws std::filesystem::filesystem_error when the
// folder cannot be resolved.
std::filesystem::path walkRoot(const std::filesystem::path& folder);

struct FolderItem {
  enum Kind { directory, file, link, other };
  std::filesystem::path path;      // root joined with relative
  std::filesystem::path relative;  // below root, e.g. "de/App.resources.dll"
  Kind kind = other;
};

// Every item below root, at any depth, in no particular order; links (on
// Windows every reparse point) are listed, never entered. Hidden, system and
// read-only files are listed like any other. On Windows the walk is the
// system's own (the standard library's stops at 260 characters), so root
// should be in systemPath's form. Throws std::filesystem::filesystem_error
// naming the directory that cannot be read.
std::vector<FolderItem> listTree(const std::filesystem::path& root);

// path without a \\?\ prefix, for messages: the form a user typed or knows.
std::string displayPath(const std::filesystem::path& path);

}  // namespace tenvik::packer

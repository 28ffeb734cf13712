#pragma once
// Path text for acting through handles: the native form a rename through a
// handle wants, and whether the path the platform reports for an open handle
// is still the path the run means. Pure.

#include <string>

namespace tenvik {

// path (a full Win32 path: "C:\dir", "\\server\share\dir", or either behind
// "\\?\") in the native form "\??\C:\dir", "\??\UNC\server\share\dir". Empty
// for anything else, a relative path among them: a rename target is never
// left to the current directory.
std::wstring nativePathOf(const std::wstring& path);

// Whether finalPath, as GetFinalPathNameByHandleW reports it ("\\?\C:\..."
// or "\\?\UNC\server\share\..."), names path (in any of the forms above).
// Letters A to Z match either case, as the file system matches them; any
// other difference, a trailing backslash or an 8.3 name among them, is a
// different path: a false "no" only ends a run, a false "yes" would not.
bool namesSamePath(const std::wstring& finalPath, const std::wstring& path);

}  // namespace tenvik

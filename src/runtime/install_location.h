#pragma once
// Which InstallLocation values the run may take dotnet.exe from. Pure.

#include <string>

namespace tenvik {

// True for a full path on a drive: a letter, ":\", then names separated by
// single backslashes (one trailing backslash allowed), none of them "." or
// ".." and none holding a character Windows refuses in a name ('/' among
// them). False for everything else: empty, relative ("dotnet"), rooted
// without a drive ("\dotnet"), drive-relative ("C:dotnet"), UNC and device
// paths ("\\server\share", "\\?\C:\"), and text to be expanded
// ("%ProgramFiles%\dotnet"), which the run would resolve against the user's
// environment or current directory. Whether the drive is local is asked of
// the platform.
bool isDriveAbsolutePath(const std::wstring& path);

}  // namespace tenvik

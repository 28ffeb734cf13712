#pragma once
// Questions the launch sequence asks of the Windows it runs on.

#include <windows.h>

#include <string>

namespace tenvik {

// Makes the process load DLLs from the system directory only, so a DLL
// planted beside the program (say in a Downloads folder) is never picked up
// by this elevated process. Uses SetDefaultDllDirectories where Windows has
// it, else takes the current directory out of the search.
void restrictDllSearchToSystem();

// True when the process runs in a window station the user cannot see (a
// service, or a task without a desktop). Any failure on the way answers false.
bool windowStationIsInvisible();

// True on 64-bit Windows, where this 32-bit program runs under WOW64. False
// when IsWow64Process does not exist.
bool isWow64();

// The Program Files folder of the machine's own architecture (not the x86
// one that a 32-bit process is shown on 64-bit Windows); empty when unknown.
std::wstring nativeProgramFilesFolder(bool wow64);

// A known folder's path; empty when the shell cannot tell.
std::wstring knownFolderPath(const GUID& folder);

}  // namespace tenvik

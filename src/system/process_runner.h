#pragma once
#include <windows.h>

#include <string>

namespace tenvik {

// Starts executable with arguments (verbatim, after one blank; none when
// empty) in workingDirectory (the caller's own when empty), its window shown.
// Returns the process handle, which the caller owns and closes, or null when
// the program could not be started. Does not wait.
HANDLE runProcess(const std::wstring& executable, const std::wstring& arguments,
                  const std::wstring& workingDirectory);

}  // namespace tenvik

#pragma once
#include <string>

namespace tenvik {

// Exit codes of a run besides the runtime host's own, which passes through.
inline constexpr int kExitPrerequisiteFailed = 1;
inline constexpr int kExitHostNotStarted = -1;

// The whole run: make sure the .NET 6 runtime is there, unpack the package
// into the work directory, run the application through dotnet.exe with
// commandLine (the program's own arguments, program name removed), clean up.
// Returns the process exit code.
int runLaunchSequence(const std::wstring& commandLine);

}  // namespace tenvik

#pragma once
#include <string>

#include "settings/image_settings.h"

namespace tenvik {

// Exit codes of a run besides the runtime host's own, which passes through.
inline constexpr int kExitPrerequisiteFailed = 1;
inline constexpr int kExitHostNotStarted = -1;

// The whole run: make sure the .NET runtime the image's rule asks for is
// there, unpack the package into the work directory, run the application
// through dotnet.exe with commandLine (the program's own arguments, program
// name removed), clean up. Returns the process exit code.
// The first form reads the image's settings resource and ends with
// kExitHostNotStarted, having touched nothing, when it is malformed.
int runLaunchSequence(const std::wstring& commandLine);
int runLaunchSequence(const std::wstring& commandLine, const ImageSettings& settings);

}  // namespace tenvik

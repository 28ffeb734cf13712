#pragma once
// The command-line decisions of a run, as plain text functions.

#include <string>

namespace tenvik {

// The "--silent" switch counts anywhere in the command line, also inside a
// longer word or a path: the test is a plain, case-sensitive substring search.
bool commandLineAsksSilent(const std::wstring& commandLine);

// What the runtime host receives: the launch target, one blank, and the
// bootstrapper's own command line as it stands. The target is put in double
// quotes when it holds a blank, so the host sees it as one argument.
std::wstring hostParameters(const std::wstring& launchTarget, const std::wstring& commandLine);

// The whole command line the runtime host is started with: hostPath in
// double quotes, one blank, then parameters as hostParameters made them, so
// that the host's arguments are what they were when the shell started it.
std::wstring hostCommandLine(const std::wstring& hostPath, const std::wstring& parameters);

// The text of the error box shown when no runtime could be installed.
std::wstring prerequisiteFailureMessage(const std::wstring& manualDownloadPage);

}  // namespace tenvik

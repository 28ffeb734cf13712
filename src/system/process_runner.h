#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace tenvik {

// How a program is started by startProcess.
struct ProcessStart {
  std::wstring executable;        // full path; the file that runs, never searched for
  std::wstring commandLine;       // the whole command line, program name first
  std::wstring workingDirectory;  // empty: the caller's own
  std::wstring environment;       // a block as environmentBlock makes it; empty: the caller's own
  WORD show = SW_SHOW;            // the show state of the program's first window
};

// Starts the program with CreateProcessW: no handle inherited, the
// environment (when given) passed as Unicode. Returns the process handle,
// which the caller owns and closes, or null when the program could not be
// started. Does not wait.
HANDLE startProcess(const ProcessStart& start);

// Starts executable with arguments (verbatim, after one blank; none when
// empty) in workingDirectory (the caller's own when empty), its window shown,
// with environment (a block; the caller's own when empty). Returns the
// process handle, which the caller owns and closes, or null when the
// program could not be started. Does not wait.
HANDLE runProcess(const std::wstring& executable, const std::wstring& arguments,
                  const std::wstring& workingDirectory, const std::wstring& environment = std::wstring());

// The calling process's environment, one "NAME=value" entry each, in the
// block's order; empty when the platform does not give it.
std::vector<std::wstring> processEnvironment();

}  // namespace tenvik

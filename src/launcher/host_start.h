#pragma once
// The runtime host: which dotnet.exe the run starts, and its start.

#include <string>

#include "system/unique_handle.h"

namespace tenvik {

struct ChosenHost {
  std::wstring path;  // full path of dotnet.exe
  // Held from the moment the path is chosen until the host has started:
  // read access, sharing reading only, so nobody can write, rename, delete
  // or replace the file in between. Empty when it cannot be opened.
  UniqueFileHandle file;
};

// dotnet.exe in the install location the registry names for the
// architecture (the 64-bit key on 64-bit Windows) when that is a full path
// on a fixed local drive (isDriveAbsolutePath); else, as when it is missing,
// in Program Files\dotnet of the machine's own architecture. Nothing in it
// is expanded or searched for. Empty path when neither can be had.
ChosenHost chooseHost(bool wow64);

// Starts the held host with CreateProcessW: its full path in quotes, one
// blank and parameters as the command line (see hostCommandLine), hidden,
// in workDirectory, with environment (a block) as its whole environment and
// no handle inherited; lets go of the file once it has started, waits for
// it and returns its exit code. kExitHostNotStarted when it did not start.
int runHost(ChosenHost& host, const std::wstring& parameters, const std::wstring& workDirectory,
            const std::wstring& environment);

}  // namespace tenvik

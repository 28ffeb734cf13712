#pragma once
#include <string>

namespace tenvik {

// Runs the runtime installer at path with arguments in directory and waits
// for it. When it ends because another installation is in progress (1618),
// pauses and runs it again within the bounds of busy_installer.h. Whatever
// it ends with is not acted on otherwise: the probe that follows decides.
// The caller keeps the file held against changes for the whole time.
// environment is the installer's whole environment (a block as
// environmentBlock makes it).
void runInstallerWhileBusy(const std::wstring& path, const std::wstring& arguments, const std::wstring& directory,
                           const std::wstring& environment);

}  // namespace tenvik

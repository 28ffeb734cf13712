#pragma once
// The folders a run works in below ProgramData, and the environment its
// elevated children get.

#include <string>

#include "system/protected_folder.h"
#include "system/unique_handle.h"

namespace tenvik {

struct RunFolders {
  // The product folder (see prepareProductFolder): its path is where the
  // runtime installer's and the application's folders are made.
  ProductFolder product;
  // "Temp.tmp" in the product folder, made anew and held like Setup.tmp:
  // TEMP and TMP of the children, so that neither the runtime installer
  // nor the application unpacks where the user's programs can write.
  std::wstring tempFolder;
  UniqueFileHandle tempHold;
  // The children's whole environment: this process's own without the
  // variables the .NET host and runtime load code by, TEMP and TMP set to
  // tempFolder (childEnvironment), as a block.
  std::wstring childEnvironment;

  bool ready() const { return static_cast<bool>(product.handle) && static_cast<bool>(tempHold); }
};

// Prepares the product folder at productFolder (or the run's own beside it)
// and the temporary folder in it. Not ready when either cannot be made;
// what was made is then removed again.
RunFolders prepareRunFolders(const std::wstring& productFolder);

// Removes the temporary folder, and the product folder when it was the
// run's own, or when runFailed and this run made it (only while it is
// empty: a product folder that was there before stays).
void releaseRunFolders(RunFolders& folders, bool runFailed);

}  // namespace tenvik

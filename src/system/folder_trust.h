#pragma once
// Whether a folder found where the product folder or the work directory goes
// may be used by an elevated run. Any user may create folders in ProgramData,
// so a folder that is already there may have been prepared by someone who
// wants to swap the files an elevated process loads from it, or to point it
// somewhere else with a link. Pure decisions over what the file system
// reported; the calls that gather it and act on the verdict live elsewhere.

#include <string>

namespace tenvik {

enum class FolderOwner { system, administrators, trustedInstaller, someoneElse };

// The owner named by a SID in its text form ("S-1-5-18"). Anything that is
// not exactly one of the three trusted SIDs counts as someone else.
FolderOwner ownerFromSid(const std::string& sidText);

struct ExistingFolder {
  bool directory = false;
  bool reparsePoint = false;  // a junction, a symbolic link or another redirection
  FolderOwner owner = FolderOwner::someoneElse;
};

enum class FolderVerdict {
  trusted,        // use it as it stands
  resetSecurity,  // a plain directory of someone else: take it over, then use it
  replace,        // not a plain directory: remove the link or file itself and make a new one
};

FolderVerdict judgeExistingFolder(const ExistingFolder& folder);

}  // namespace tenvik

#include "system/folder_trust.h"

namespace tenvik {

FolderOwner ownerFromSid(const std::string& sidText) {
  if (sidText == "S-1-5-18") return FolderOwner::system;
  if (sidText == "S-1-5-32-544") return FolderOwner::administrators;
  if (sidText == "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464") {
    return FolderOwner::trustedInstaller;
  }
  return FolderOwner::someoneElse;
}

FolderVerdict judgeExistingFolder(const ExistingFolder& folder) {
  // A link is never followed, whoever owns it: its target is not ours to judge.
  if (!folder.directory || folder.reparsePoint) return FolderVerdict::replace;
  if (folder.owner == FolderOwner::someoneElse) return FolderVerdict::resetSecurity;
  return FolderVerdict::trusted;
}

}  // namespace tenvik

#include "system/folder_trust.h"

namespace tenvik {
namespace {

constexpr char kSystem[] = "S-1-5-18";
constexpr char kAdministrators[] = "S-1-5-32-544";
constexpr char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr char kCreatorOwner[] = "S-1-3-0";
constexpr char kOwnerRights[] = "S-1-3-4";

constexpr std::uint32_t kFileAllAccess = 0x001F01FFu;
constexpr std::uint32_t kGenericAll = 0x10000000u;

bool standsForATrustedParty(const std::string& sid) {
  return ownerFromSid(sid) != FolderOwner::someoneElse || sid == kCreatorOwner || sid == kOwnerRights;
}

}  // namespace

FolderOwner ownerFromSid(const std::string& sidText) {
  if (sidText == kSystem) return FolderOwner::system;
  if (sidText == kAdministrators) return FolderOwner::administrators;
  if (sidText == kTrustedInstaller) return FolderOwner::trustedInstaller;
  return FolderOwner::someoneElse;
}

bool onlyTrustedMayChange(const std::vector<AceEntry>& dacl) {
  for (const AceEntry& entry : dacl) {
    switch (entry.kind) {
      case AceKind::deny:
        continue;
      case AceKind::other:
        return false;
      case AceKind::allow:
        // Inherit-only entries count too: they would grant the same rights on
        // anything made inside that does not bring its own descriptor.
        if ((entry.mask & kChangingRights) != 0 && !standsForATrustedParty(entry.sid)) return false;
        continue;
    }
  }
  return true;
}

bool administratorsHaveFullControl(const std::vector<AceEntry>& dacl) {
  for (const AceEntry& entry : dacl) {
    if (entry.kind != AceKind::allow || entry.inheritOnly || entry.sid != kAdministrators) continue;
    if ((entry.mask & kFileAllAccess) == kFileAllAccess || (entry.mask & kGenericAll) != 0) return true;
  }
  return false;
}

FolderVerdict judgeExistingFolder(const ExistingFolder& folder) {
  // What the handle does not stand for cannot be judged by it, nor moved
  // through it: the move would carry off whatever it does stand for.
  if (!folder.atItsPath) return FolderVerdict::elsewhere;
  // A link is never followed, whoever owns it: its target is not ours to judge.
  if (!folder.directory || folder.reparsePoint) return FolderVerdict::moveAside;
  if (!folder.securityRead || ownerFromSid(folder.ownerSid) == FolderOwner::someoneElse) {
    return FolderVerdict::moveAside;
  }
  if (!folder.daclPresent || !onlyTrustedMayChange(folder.dacl)) return FolderVerdict::moveAside;
  if (!folder.daclProtected || !administratorsHaveFullControl(folder.dacl)) return FolderVerdict::reprotect;
  return FolderVerdict::trusted;
}

std::wstring movedAsideName(const std::wstring& word, std::uint64_t unique) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = word + L".";
  for (int shift = 60; shift >= 0; shift -= 4) name.push_back(kDigits[(unique >> shift) & 0xF]);
  return name;
}

}  // namespace tenvik

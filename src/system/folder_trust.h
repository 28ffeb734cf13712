#pragma once
// Whether a folder found where the product folder goes may be used by an
// elevated run. Any user may create folders in ProgramData, so a folder that
// is already there may have been prepared by someone who wants to swap the
// files an elevated process loads from it, or to point it somewhere else with
// a link; and an owner keeps, through handles opened before, the right to
// change the descriptor again after any take-over. So a folder is either ours
// as it stands or it is moved aside and never used. Pure decisions over what
// the file system reported through the one handle the run opened; the calls
// that gather it and act on the verdict live in protected_folder.cpp.

#include <cstdint>
#include <string>
#include <vector>

namespace tenvik {

enum class FolderOwner { system, administrators, trustedInstaller, someoneElse };

// The owner named by a SID in its text form ("S-1-5-18"). Anything that is
// not exactly one of the three trusted SIDs counts as someone else.
FolderOwner ownerFromSid(const std::string& sidText);

// One entry of a DACL, as portable text and numbers.
enum class AceKind {
  allow,  // any of the access-allowed types, conditional ones included
  deny,   // any of the access-denied types
  other,  // a type this code does not know: it could grant anything
};

struct AceEntry {
  AceKind kind = AceKind::allow;
  std::string sid;  // text form
  std::uint32_t mask = 0;
  bool inheritOnly = false;  // applies to what is created inside, not to the folder itself
};

// The rights that let the holder of an entry change the folder, what it
// holds, or who may: writing and adding entries, deleting, the attributes
// (a reparse point is set through them), the descriptor and the owner, and
// the generic rights that include any of those.
inline constexpr std::uint32_t kChangingRights = 0x00000002u    // FILE_WRITE_DATA / FILE_ADD_FILE
                                                 | 0x00000004u  // FILE_APPEND_DATA / FILE_ADD_SUBDIRECTORY
                                                 | 0x00000010u  // FILE_WRITE_EA
                                                 | 0x00000040u  // FILE_DELETE_CHILD
                                                 | 0x00000100u  // FILE_WRITE_ATTRIBUTES
                                                 | 0x00010000u  // DELETE
                                                 | 0x00040000u  // WRITE_DAC
                                                 | 0x00080000u  // WRITE_OWNER
                                                 | 0x01000000u  // ACCESS_SYSTEM_SECURITY
                                                 | 0x02000000u  // MAXIMUM_ALLOWED
                                                 | 0x10000000u  // GENERIC_ALL
                                                 | 0x40000000u;  // GENERIC_WRITE

// True when no entry lets anybody but SYSTEM, the Administrators group or
// TrustedInstaller change the folder or what is created in it. Entries for
// CREATOR OWNER and OWNER RIGHTS stand for an owner, who can only be one of
// those when nobody else may add anything. Deny entries only take away; an
// entry of an unknown type counts against the folder.
bool onlyTrustedMayChange(const std::vector<AceEntry>& dacl);

// True when the DACL gives the Administrators group full control of the
// folder itself, so that the run can create and remove what it needs there.
bool administratorsHaveFullControl(const std::vector<AceEntry>& dacl);

struct ExistingFolder {
  bool directory = false;
  bool reparsePoint = false;  // a junction, a symbolic link or another redirection
  // The handle's own final path is the path it was opened by: nothing on the
  // way (a link the platform followed in spite of being asked not to, a
  // redirected parent) made it something else.
  bool atItsPath = false;
  bool securityRead = false;  // owner and DACL could be read through the handle
  std::string ownerSid;
  bool daclPresent = false;  // a missing DACL grants everyone everything
  bool daclProtected = false;  // nothing is inherited from ProgramData
  std::vector<AceEntry> dacl;
};

enum class FolderVerdict {
  trusted,     // ours as it stands: use it
  reprotect,   // ours, but its DACL is not the one we make: set ours through the handle, then use it
  moveAside,   // not ours: move it away under another name and make a new one
  elsewhere,   // the handle is not the thing at the path: neither use nor move it
};

FolderVerdict judgeExistingFolder(const ExistingFolder& folder);

// The name a folder that is not ours is moved to, beside where it stood:
// the product word, a dot and unique as sixteen lower-case hex digits.
std::wstring movedAsideName(const std::wstring& word, std::uint64_t unique);

}  // namespace tenvik

#include "system/folder_trust.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tenvik {
namespace {

const char kSystem[] = "S-1-5-18";
const char kAdmins[] = "S-1-5-32-544";
const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const char kUsers[] = "S-1-5-32-545";
const char kAuthenticatedUsers[] = "S-1-5-11";
const char kEveryone[] = "S-1-1-0";
const char kLocalAccount[] = "S-1-5-21-1-2-3-1001";
const char kCreatorOwner[] = "S-1-3-0";
const char kCreatorGroup[] = "S-1-3-1";
const char kOwnerRights[] = "S-1-3-4";

constexpr std::uint32_t kFullControl = 0x001F01FF;
constexpr std::uint32_t kReadAndExecute = 0x001200A9;

AceEntry allow(const char* sid, std::uint32_t mask, bool inheritOnly = false) {
  return {AceKind::allow, sid, mask, inheritOnly};
}
AceEntry deny(const char* sid, std::uint32_t mask) { return {AceKind::deny, sid, mask, false}; }

// The descriptor the run gives the folders it makes.
std::vector<AceEntry> protectedDacl() { return {allow(kSystem, kFullControl), allow(kAdmins, kFullControl)}; }

TEST(FolderOwner, OnlyTheThreeTrustedSidsCountAsTrusted) {
  EXPECT_EQ(ownerFromSid("S-1-5-18"), FolderOwner::system);
  EXPECT_EQ(ownerFromSid("S-1-5-32-544"), FolderOwner::administrators);
  EXPECT_EQ(ownerFromSid("S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"),
            FolderOwner::trustedInstaller);
  for (const char* other : {"S-1-5-32-545",                  // Users
                            "S-1-5-11",                      // Authenticated Users
                            "S-1-1-0",                       // Everyone
                            "S-1-5-21-1-2-3-1001",           // a local account
                            "S-1-5-21-1-2-3-500",            // the built-in Administrator account itself
                            "S-1-5-80-956008885",            // a prefix of TrustedInstaller
                            "S-1-3-0",                       // CREATOR OWNER is no owner
                            "S-1-5-180", "S-1-5-32-5440", "s-1-5-18", " S-1-5-18", ""}) {
    EXPECT_EQ(ownerFromSid(other), FolderOwner::someoneElse) << other;
  }
}

TEST(FolderDacl, OnlySystemAdministratorsAndTrustedInstallerMayChangeIt) {
  struct Case {
    const char* what;
    std::vector<AceEntry> dacl;
    bool onlyTrusted;
  };
  const std::vector<Case> cases = {
      {"the protected descriptor", protectedDacl(), true},
      {"an empty DACL", {}, true},
      {"TrustedInstaller too", {allow(kTrustedInstaller, kFullControl), allow(kAdmins, kFullControl)}, true},
      {"others may read and list", {allow(kAdmins, kFullControl), allow(kUsers, kReadAndExecute)}, true},
      {"creator owner on what is made inside",
       {allow(kAdmins, kFullControl), allow(kCreatorOwner, kFullControl, true)}, true},
      {"owner rights", {allow(kAdmins, kFullControl), allow(kOwnerRights, kFullControl)}, true},
      {"a deny entry only takes away", {allow(kAdmins, kFullControl), deny(kEveryone, kFullControl)}, true},
      // What a folder made in ProgramData without a descriptor inherits:
      // Users may add files and folders to it.
      {"ProgramData's inherited grants",
       {allow(kSystem, kFullControl), allow(kAdmins, kFullControl), allow(kCreatorOwner, 0x10000000, true),
        allow(kUsers, kReadAndExecute), allow(kUsers, 0x00000116)},
       false},
      {"users may add files", {allow(kAdmins, kFullControl), allow(kUsers, 0x00000002)}, false},
      {"users may add folders", {allow(kAdmins, kFullControl), allow(kUsers, 0x00000004)}, false},
      {"extended attributes", {allow(kAuthenticatedUsers, 0x00000010)}, false},
      {"delete a child", {allow(kUsers, 0x00000040)}, false},
      {"attributes (a reparse point goes through them)", {allow(kUsers, 0x00000100)}, false},
      {"delete", {allow(kUsers, 0x00010000)}, false},
      {"change the DACL", {allow(kLocalAccount, 0x00040000)}, false},
      {"take ownership", {allow(kLocalAccount, 0x00080000)}, false},
      {"generic write", {allow(kEveryone, 0x40000000)}, false},
      {"generic all", {allow(kEveryone, 0x10000000)}, false},
      {"maximum allowed", {allow(kEveryone, 0x02000000)}, false},
      {"full control of a local account", {allow(kAdmins, kFullControl), allow(kLocalAccount, kFullControl)}, false},
      // Inherit-only grants would land on anything made without its own descriptor.
      {"users on what is made inside", {allow(kAdmins, kFullControl), allow(kUsers, kFullControl, true)}, false},
      // For an administrator's run the creator's group is the account's own group, not a trusted one.
      {"creator group", {allow(kAdmins, kFullControl), allow(kCreatorGroup, kFullControl, true)}, false},
      {"an entry of an unknown type", {allow(kAdmins, kFullControl), {AceKind::other, kSystem, 0, false}}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(onlyTrustedMayChange(c.dacl), c.onlyTrusted) << c.what;
}

TEST(FolderDacl, AdministratorsNeedFullControlOfTheFolderItself) {
  EXPECT_TRUE(administratorsHaveFullControl(protectedDacl()));
  EXPECT_TRUE(administratorsHaveFullControl({allow(kAdmins, 0x10000000)}));
  EXPECT_FALSE(administratorsHaveFullControl({}));
  EXPECT_FALSE(administratorsHaveFullControl({allow(kAdmins, kReadAndExecute)}));
  EXPECT_FALSE(administratorsHaveFullControl({allow(kAdmins, kFullControl, true)}));
  EXPECT_FALSE(administratorsHaveFullControl({deny(kAdmins, kFullControl)}));
  EXPECT_FALSE(administratorsHaveFullControl({allow(kSystem, kFullControl)}));
}

ExistingFolder ourFolder() {
  ExistingFolder folder;
  folder.directory = true;
  folder.atItsPath = true;
  folder.securityRead = true;
  folder.ownerSid = kAdmins;
  folder.daclPresent = true;
  folder.daclProtected = true;
  folder.dacl = protectedDacl();
  return folder;
}

TEST(FolderTrust, OnlyAPlainDirectoryOfATrustedOwnerThatOnlyTrustedPartiesMayChangeIsUsed) {
  struct Case {
    const char* what;
    ExistingFolder folder;
    FolderVerdict expected;
  };
  std::vector<Case> cases;
  auto add = [&cases](const char* what, FolderVerdict expected, auto change) {
    ExistingFolder folder = ourFolder();
    change(folder);
    cases.push_back({what, folder, expected});
  };
  add("our own folder", FolderVerdict::trusted, [](ExistingFolder&) {});
  add("owned by SYSTEM", FolderVerdict::trusted, [](ExistingFolder& f) { f.ownerSid = kSystem; });
  add("owned by TrustedInstaller", FolderVerdict::trusted, [](ExistingFolder& f) { f.ownerSid = kTrustedInstaller; });
  // Another owner keeps the right to change the DACL through handles opened
  // before any take-over, so such a folder is never adopted.
  add("owned by a local account", FolderVerdict::moveAside, [](ExistingFolder& f) { f.ownerSid = kLocalAccount; });
  add("owned by Users", FolderVerdict::moveAside, [](ExistingFolder& f) { f.ownerSid = kUsers; });
  add("owner unreadable", FolderVerdict::moveAside, [](ExistingFolder& f) { f.securityRead = false; });
  add("users may add files", FolderVerdict::moveAside,
      [](ExistingFolder& f) { f.dacl.push_back(allow(kUsers, 0x00000002)); });
  add("no DACL at all: everyone may do anything", FolderVerdict::moveAside, [](ExistingFolder& f) {
    f.daclPresent = false;
    f.dacl.clear();
  });
  // A junction or directory link is never used, even one an administrator made.
  add("a junction of ours", FolderVerdict::moveAside, [](ExistingFolder& f) { f.reparsePoint = true; });
  add("a file", FolderVerdict::moveAside, [](ExistingFolder& f) { f.directory = false; });
  add("a link to a file", FolderVerdict::moveAside, [](ExistingFolder& f) {
    f.directory = false;
    f.reparsePoint = true;
  });
  // Safe, but not as we make it: the descriptor is set again through the handle.
  add("inheriting from ProgramData", FolderVerdict::reprotect, [](ExistingFolder& f) { f.daclProtected = false; });
  add("administrators may only read", FolderVerdict::reprotect,
      [](ExistingFolder& f) { f.dacl = {allow(kSystem, kFullControl), allow(kAdmins, kReadAndExecute)}; });
  add("an empty DACL", FolderVerdict::reprotect, [](ExistingFolder& f) { f.dacl.clear(); });
  // The handle stands for something else than the path: nothing done through it is safe.
  add("handle elsewhere", FolderVerdict::elsewhere, [](ExistingFolder& f) { f.atItsPath = false; });
  add("handle elsewhere, a file of someone else", FolderVerdict::elsewhere, [](ExistingFolder& f) {
    f.atItsPath = false;
    f.directory = false;
    f.ownerSid = kLocalAccount;
  });
  for (const Case& c : cases) EXPECT_EQ(judgeExistingFolder(c.folder), c.expected) << c.what;
}

TEST(FolderTrust, AFolderMovedAsideGetsTheWordAndSixteenHexDigits) {
  struct Case {
    const wchar_t* word;
    std::uint64_t unique;
    const wchar_t* name;
  };
  const Case cases[] = {
      {L"Tenvik", 0, L"Tenvik.0000000000000000"},
      {L"Tenvik", 0x1234abcdULL, L"Tenvik.000000001234abcd"},
      {L"Tenvik", 0xFFFFFFFFFFFFFFFFULL, L"Tenvik.ffffffffffffffff"},
      {L"TenvikOther", 0x0123456789ABCDEFULL, L"TenvikOther.0123456789abcdef"},
      {L"My.Product", 10, L"My.Product.000000000000000a"},
  };
  for (const Case& c : cases) EXPECT_EQ(movedAsideName(c.word, c.unique), c.name);
  EXPECT_NE(movedAsideName(L"Tenvik", 1), movedAsideName(L"Tenvik", 2));
}

}  // namespace
}  // namespace tenvik

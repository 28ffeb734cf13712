#include "system/folder_trust.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

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
                            "S-1-5-180", "S-1-5-32-5440", "s-1-5-18", " S-1-5-18", ""}) {
    EXPECT_EQ(ownerFromSid(other), FolderOwner::someoneElse) << other;
  }
}

TEST(FolderTrust, OnlyAPlainDirectoryOfATrustedOwnerIsUsedAsItStands) {
  struct Case {
    ExistingFolder folder;
    FolderVerdict expected;
  };
  const Case cases[] = {
      {{true, false, FolderOwner::system}, FolderVerdict::trusted},
      {{true, false, FolderOwner::administrators}, FolderVerdict::trusted},
      {{true, false, FolderOwner::trustedInstaller}, FolderVerdict::trusted},
      {{true, false, FolderOwner::someoneElse}, FolderVerdict::resetSecurity},
      // A junction or directory link is never used, even one an administrator made.
      {{true, true, FolderOwner::administrators}, FolderVerdict::replace},
      {{true, true, FolderOwner::someoneElse}, FolderVerdict::replace},
      // A file (or a link to one) where the folder belongs.
      {{false, false, FolderOwner::system}, FolderVerdict::replace},
      {{false, true, FolderOwner::someoneElse}, FolderVerdict::replace},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(judgeExistingFolder(c.folder), c.expected)
        << "directory " << c.folder.directory << " reparse " << c.folder.reparsePoint << " owner "
        << static_cast<int>(c.folder.owner);
  }
}

}  // namespace
}  // namespace tenvik

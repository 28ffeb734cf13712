#pragma once
// Folders that only SYSTEM and the Administrators group may change, for an
// elevated run to unpack into. Their descriptor grants those two full control,
// is protected (nothing inherited from above), and is inherited by everything
// created inside. None of these functions throws or shows anything.

#include <string>

namespace tenvik {

// Makes path such a folder and keeps what it holds. A plain directory owned
// by SYSTEM, Administrators or TrustedInstaller is used as it stands; one of
// anybody else has its owner and descriptor reset; a link or a file standing
// there is removed (a link as a link) and a new folder made. The parent must
// exist. False when path could not be made trustworthy.
bool prepareProtectedFolder(const std::wstring& path);

// Removes whatever stands at path and creates it anew as such a folder, empty.
// A folder of someone else is taken over before it is emptied, so that
// nothing new can be planted in it meanwhile. False unless this call created
// the new folder itself.
bool makeFreshProtectedFolder(const std::wstring& path);

}  // namespace tenvik

#pragma once
// Copies of the built Setup.exe with another payload resource, made with the
// platform's own resource updater: any package, a hand-made container, or
// none at all, without building the program again.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "settings/image_settings.h"

namespace tenvik::test {

using PackageEntry = std::pair<std::string, std::string>;  // "/"-separated UTF-8 name, data

// The package archive of entries, uncompressed, exactly in this order.
std::string packageArchive(const std::vector<PackageEntry>& entries);
// One gzip member holding data.
std::string gzipMember(const std::string& data);
// The payload resource (from the 40-byte information header on) that holds
// payload, in a square 32-bit bitmap of the smallest side, as the packer makes it.
std::string payloadResource(const std::string& payload);

// dir\Setup.exe, a copy of the built program whose bitmap resource 102 holds
// resourceBytes; when resourceBytes is null, the same program built without
// any resource 102. original names another build of the program below the
// build tree to copy instead (such as standins\SetupNet10.exe).
std::wstring setupWithResource(const std::wstring& dir, const std::string* resourceBytes,
                               const std::wstring& original = L"");
std::wstring setupWithPackage(const std::wstring& dir, const std::vector<PackageEntry>& entries,
                              const std::wstring& original = L"");

// Sets resource id of type RT_RCDATA in the program exe to bytes, in place:
// replaced in its own language when exe has it, added otherwise. Used for
// the settings resource (103) and bundled installers (201 to 204). Throws
// when the image cannot be updated.
void setDataResource(const std::wstring& exe, unsigned id, const std::string& bytes);

// Stamps exe (in place) with other settings, as tenvik-pack does: the
// settings it carries (the defaults without a settings resource), changed by
// change, written back whole. Throws when they cannot be read or written.
void changeImageSettings(const std::wstring& exe, const std::function<void(ImageSettings&)>& change);

}  // namespace tenvik::test

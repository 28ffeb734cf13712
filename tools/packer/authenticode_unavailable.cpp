// For a build without OpenSSL (the Windows cross build of the packer's
// library, which Debian has no OpenSSL for): every signature is unreadable,
// so bundling refuses all installers unless the signer check is turned off.

#include "installer_check.h"

namespace tenvik::packer {

InstallerSignature readInstallerSignature(std::string_view) {
  InstallerSignature found;
  found.problem = "this build of tenvik-pack cannot read Authenticode signatures (it was built without OpenSSL)";
  return found;
}

}  // namespace tenvik::packer

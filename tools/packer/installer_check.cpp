#include "installer_check.h"

#include "exit_codes.h"
#include "pack_error.h"
#include "setup_image.h"

namespace tenvik::packer {
namespace {

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

}  // namespace

std::optional<InstallerIdentity> identifyInstaller(const VersionSummary& record) {
  for (const char* key : {"ProductName", "FileDescription"}) {
    for (const auto& [name, value] : record.strings) {
      if (name != key) continue;
      InstallerIdentity identity;
      if (contains(value, "Windows Desktop Runtime")) {
        identity.framework = RuntimeFramework::desktop;
      } else if (contains(value, ".NET Runtime") || contains(value, ".NET Core Runtime")) {
        identity.framework = RuntimeFramework::base;
      } else {
        continue;
      }
      if (contains(value, "(x64)")) {
        identity.x64 = true;
      } else if (contains(value, "(x86)")) {
        identity.x64 = false;
      } else {
        continue;
      }
      const std::size_t dash = value.find(" - ");
      const std::size_t open = value.find(" (", dash == std::string::npos ? 0 : dash);
      if (dash != std::string::npos && open != std::string::npos && open > dash + 3) {
        identity.version = value.substr(dash + 3, open - dash - 3);
      }
      if (identity.version.empty() || !parseRuntimeVersion(identity.version)) {
        identity.version = versionText(record.productVersion);
      }
      return identity;
    }
  }
  return std::nullopt;
}

std::optional<InstallerIdentity> parseInstallerSlot(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view framework = text.substr(0, colon), arch = text.substr(colon + 1);
  InstallerIdentity identity;
  if (framework == "desktop") {
    identity.framework = RuntimeFramework::desktop;
  } else if (framework == "base") {
    identity.framework = RuntimeFramework::base;
  } else {
    return std::nullopt;
  }
  if (arch != "x64" && arch != "x86") return std::nullopt;
  identity.x64 = arch == "x64";
  return identity;
}

std::string installerSlotText(const InstallerIdentity& identity) {
  return std::string(frameworkWord(identity.framework)) + (identity.x64 ? ":x64" : ":x86");
}

InstallerIdentity checkInstaller(std::string_view file, const std::string& name,
                                 const std::optional<InstallerIdentity>& slot, const std::string& requiredSigner) {
  const std::string what = "The runtime installer \"" + name + "\"";
  std::optional<InstallerIdentity> identity;
  try {
    if (const auto record = readProgramVersion(std::string(file))) identity = identifyInstaller(*record);
  } catch (const PackError&) {
    // Not an image the version reader takes; the slot may still name it.
  }
  if (slot) {
    const std::string version = identity ? identity->version : std::string();
    identity = slot;
    identity->version = version;
  } else if (!identity) {
    throw PackError(what +
                        " does not say which runtime it installs (its version record's ProductName names no "
                        "Windows Desktop Runtime or .NET Runtime for x64 or x86); name it, e.g. desktop:x64=FILE",
                    exitInstallerUnknown);
  }
  if (requiredSigner.empty()) return *identity;  // the check is turned off, as at run time
  const InstallerSignature signature = readInstallerSignature(file);
  if (!signature.present || !signature.coversFile) {
    throw PackError(what + " cannot be bundled: " + signature.problem, exitInstallerUnsigned);
  }
  if (signature.signer != requiredSigner) {
    throw PackError(what + " is signed by \"" + signature.signer + "\", not by the required signer \"" +
                        requiredSigner + "\" (the image's installer signer: --installer-signer, else the stub's)",
                    exitInstallerSigner);
  }
  return *identity;
}

}  // namespace tenvik::packer

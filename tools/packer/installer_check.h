#pragma once
// A runtime vendor's installer, as the packer bundles it: which framework
// and architecture it installs, read from its version record, and who
// signed it, read from its Authenticode signature.

#include <optional>
#include <string>
#include <string_view>

#include "runtime/runtime_rule.h"
#include "version_record.h"

namespace tenvik::packer {

struct InstallerIdentity {
  RuntimeFramework framework = RuntimeFramework::desktop;
  bool x64 = true;
  std::string version;  // e.g. "10.0.3"; empty when the record names none
};

// What the record's ProductName (else FileDescription) says, as the vendor
// names its installers: "Microsoft Windows Desktop Runtime - 10.0.3 (x64)",
// "Microsoft .NET Runtime - 10.0.3 (x86)". Nothing for any other product or
// architecture.
std::optional<InstallerIdentity> identifyInstaller(const VersionSummary& record);

// "desktop:x64" and the like: the explicit form of --runtime-installer.
std::optional<InstallerIdentity> parseInstallerSlot(std::string_view text);
std::string installerSlotText(const InstallerIdentity& identity);

struct InstallerSignature {
  bool present = false;      // the certificate table holds a PKCS#7 signature
  bool coversFile = false;   // it parses and its image digest is the file's
  std::string signer;        // the signer certificate's subject common name, UTF-8
  std::string problem;       // why it is not present or does not cover the file
};

// The Authenticode signature of file, a PE image (32- or 64-bit).
InstallerSignature readInstallerSignature(std::string_view file);

// The installer's identity and verified signature by requiredSigner, or a
// PackError: exitInstallerUnknown (neither slot given nor identity readable),
// exitInstallerUnsigned, exitInstallerSigner. name is the file for messages.
// An empty requiredSigner turns the signature check off, as it does in the
// bootstrapper.
InstallerIdentity checkInstaller(std::string_view file, const std::string& name,
                                 const std::optional<InstallerIdentity>& slot, const std::string& requiredSigner);

}  // namespace tenvik::packer
